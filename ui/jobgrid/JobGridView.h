// The job grid as the main window's row view: the data grid with the job
// columns and the Pfad preview line, bound to a table cursor, the forced
// operations drawn white on red. The job row editors are attached by the
// window (JobEditors on grid() and source()).
#pragma once

#include <memory>
#include <string>

#include "ui/data/CursorGridSource.h"
#include "ui/data/RowView.h"
#include "ui/grid/Grid.h"

namespace qv::ui {

// The colours of an action cell: the two forced operations white on red,
// every other cell as the grid draws it.
void dxDBGrid1PfadCustomDrawCell(bool actionColumn, const std::string& text, COLORREF& background,
                                 COLORREF& textColor);

class JobGridView : public RowView {
public:
    explicit JobGridView(win::Dpi dpi);
    ~JobGridView() override;
    JobGridView(const JobGridView&) = delete;
    JobGridView& operator=(const JobGridView&) = delete;

    HWND Create(HWND parent, int id, const RECT& bounds) override;
    HWND hwnd() const override { return grid_.hwnd(); }
    void SetBounds(int x, int y, int width, int height) override;
    void Bind(engine::Cursor* cursor) override;
    void Reload() override;
    int ColumnWidth(const std::string& field) const override;
    void SetColumnWidth(const std::string& field, int width) override;

    grid::Grid& grid() { return grid_; }
    // The bound cursor's data source; nullptr while unbound.
    CursorGridSource* source() { return source_.get(); }

private:
    int ColumnOfField(const std::string& field) const;

    std::unique_ptr<CursorGridSource> source_;
    grid::Grid grid_;
};

}  // namespace qv::ui
