// The grid area of a window: what the window needs of whatever shows a table
// cursor's rows (the job grid in the main window).
#pragma once

#include <windows.h>

#include <string>

#include "engine/Table.h"

namespace qv::ui {

class RowView {
public:
    virtual ~RowView() = default;
    // Made at bounds in the parent's client area.
    virtual HWND Create(HWND parent, int id, const RECT& bounds) = 0;
    virtual HWND hwnd() const = 0;
    virtual void SetBounds(int x, int y, int width, int height) = 0;
    virtual void Bind(engine::Cursor* cursor) = 0;  // nullptr unbinds
    virtual void Reload() = 0;
    // Screen width of a column by field name; -1 when there is none.
    virtual int ColumnWidth(const std::string& field) const = 0;
    virtual void SetColumnWidth(const std::string& field, int width) = 0;
};

}  // namespace qv::ui
