// Column widths between the screen and the stored layout. The layout keeps
// widths at 96 dpi; loading scales them to the screen, saving scales them
// back. A width the program loaded is saved unchanged, and a width the user
// dragged settles after one save and load, so restarts at the same
// resolution never make columns grow.
#pragma once

namespace qv::ui {

// Screen width for a stored 96-dpi width: stored * dpi div 96, truncating.
int ColumnWidthForScreen(int stored96, int dpi);
// Stored 96-dpi width for a screen width: the smallest width that loads back
// to at least screenWidth.
int ColumnWidthForStorage(int screenWidth, int dpi);

}  // namespace qv::ui
