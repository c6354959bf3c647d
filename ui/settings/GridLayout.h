// Storage of the data grid's layout in INI sections: "\<grid>" for the grid
// as a whole, "\<grid>\Band\Band<n>" per band and "\<grid>\Columns\<name>" per
// column. The program keeps them in its settings file, named by its full path,
// so the process's current directory never decides where the layout goes.
#pragma once

#include <string>

#include "ui/grid/GridModel.h"

namespace qv {

// Saves the layout of grid gridName ("Gitter") into the file at path: removes
// every section whose name begins with "\<gridName>" (letter case counting),
// appends the layout sections and writes the whole file anew, each section
// followed by one empty line. Other sections keep their lines but for comments
// and empty lines; lines before the first section are dropped. Never throws:
// returns false (and the reason in *error) when the file cannot be written,
// so the program still ends normally.
bool SaveGridLayout(const std::string& path, const std::string& gridName,
                    const grid::GridLayoutDesc& layout, std::string* error = nullptr) noexcept;

// Widths a stored layout may give when the caller names no screen.
constexpr int kLayoutWidthLimit = 65536;

// The layout stored for gridName applied to current (what the grid has now):
// a missing key keeps the current value, except that a missing "SortedOrder"
// gives -1 and a band section without "ID" is skipped; a "HeaderPanelRowCount"
// of -1 is not applied. A width outside 0 to maxWidth counts as no number and
// keeps the current width too. Bands found and all columns come back
// reordered by their stored "Index" (stable), with index set to the new
// position. A missing or unreadable file gives current unchanged.
grid::GridLayoutDesc LoadGridLayout(const std::string& path, const std::string& gridName,
                                    const grid::GridLayoutDesc& current,
                                    int maxWidth = kLayoutWidthLimit);

}  // namespace qv
