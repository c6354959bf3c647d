// The job grid as the main window's row view: the data grid with the job
// columns and the Pfad preview line, bound to a table cursor. The job row
// editors are attached by the window (JobEditors on grid() and source()).
#pragma once

#include <memory>
#include <string>

#include "ui/data/CursorGridSource.h"
#include "ui/data/RowView.h"
#include "ui/grid/Grid.h"

namespace qv::ui {

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
