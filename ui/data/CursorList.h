// A read-only list of a table cursor's rows: a report-style ListView inside a
// container window, one line per row, the cursor's current row selected.
// Selecting a line moves the cursor; the cursor's changes reload the list
// (deferred to the message loop, never inside the cursor's own call). A
// preview field shows as the tooltip of a line.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "engine/Table.h"
#include "win/Window.h"

namespace qv::ui {

struct ListColumn {
    std::string field;
    std::string header;
    int width96 = 64;     // width at 96 dpi
    bool hidden = false;  // not shown
};

// The grid area of a window: what the window needs of whatever shows the rows
// (the job grid in the main window, this list in the log viewer).
class RowView {
public:
    virtual ~RowView() = default;
    virtual HWND Create(HWND parent, int id) = 0;
    virtual HWND hwnd() const = 0;
    virtual void SetBounds(int x, int y, int width, int height) = 0;
    virtual void Bind(engine::Cursor* cursor) = 0;  // nullptr unbinds
    virtual void Reload() = 0;
    // Screen width of a column by field name; -1 when there is none.
    virtual int ColumnWidth(const std::string& field) const = 0;
    virtual void SetColumnWidth(const std::string& field, int width) = 0;
};

class CursorListView : public win::Window, public RowView {
public:
    CursorListView(std::vector<ListColumn> columns, std::string previewField, int dpi);
    ~CursorListView() override;

    HWND Create(HWND parent, int id) override;
    HWND hwnd() const override { return Window::hwnd(); }
    void SetBounds(int x, int y, int width, int height) override;
    void Bind(engine::Cursor* cursor) override;
    void Reload() override;
    int ColumnWidth(const std::string& field) const override;
    void SetColumnWidth(const std::string& field, int width) override;

    HWND listView() const { return list_; }
    int rowCount() const { return static_cast<int>(rows_.size()); }
    const std::string& cellText(int row, int shownColumn) const { return rows_[row][shownColumn]; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void ScheduleReload();
    void SelectCurrent();
    LRESULT OnNotify(NMHDR* hdr);
    int ShownIndex(const std::string& field) const;

    std::vector<ListColumn> columns_;  // shown columns only
    std::string previewField_;
    int dpi_;
    HWND list_ = nullptr;
    engine::Cursor* cursor_ = nullptr;
    int observer_ = -1;
    bool loading_ = false;
    bool reloadPending_ = false;
    std::vector<std::vector<std::string>> rows_;
    std::vector<std::string> previews_;
    std::string tipBuffer_;
};

}  // namespace qv::ui
