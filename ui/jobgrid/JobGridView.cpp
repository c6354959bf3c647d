#include "ui/jobgrid/JobGridView.h"

#include "ui/jobgrid/JobEditorRules.h"
#include "ui/jobgrid/JobGridColumns.h"

namespace qv::ui {

JobGridView::JobGridView(win::Dpi dpi) : grid_(dpi) {}

JobGridView::~JobGridView() { grid_.SetDataSource(nullptr); }

HWND JobGridView::Create(HWND parent, int id, const RECT& bounds) {
    HWND h = grid_.Create(parent, id, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
    grid_.SetColumns(JobGridColumns());
    grid_.SetPreviewField(kJobPreviewField);
    // From the first paint on: a forced operation is never shown plain.
    const int pfad = FindJobColumn(grid_.model(), JobColumn::Pfad);
    grid_.CustomDrawCell = [pfad](int column, int, const std::string& text, COLORREF& bg, COLORREF& fg) {
        dxDBGrid1PfadCustomDrawCell(column == pfad, text, bg, fg);
    };
    return h;
}

void dxDBGrid1PfadCustomDrawCell(bool actionColumn, const std::string& text, COLORREF& background,
                                 COLORREF& textColor) {
    if (!actionColumn || !IsForcedOperation(text)) return;
    background = RGB(255, 51, 51);
    textColor = RGB(255, 255, 255);
}

void JobGridView::SetBounds(int x, int y, int width, int height) { MoveWindow(grid_.hwnd(), x, y, width, height, TRUE); }

void JobGridView::Bind(engine::Cursor* cursor) {
    grid_.SetDataSource(nullptr);
    source_.reset();
    if (!cursor) return;
    source_ = std::make_unique<CursorGridSource>(*cursor);
    grid_.SetDataSource(source_.get());
}

void JobGridView::Reload() { grid_.Reload(); }

int JobGridView::ColumnOfField(const std::string& field) const {
    const auto& cols = grid_.model().columns();
    for (size_t i = 0; i < cols.size(); ++i)
        if (cols[i].field == field) return static_cast<int>(i);
    return -1;
}

int JobGridView::ColumnWidth(const std::string& field) const {
    int c = ColumnOfField(field);
    return c < 0 ? -1 : grid_.model().column(c).width;
}

void JobGridView::SetColumnWidth(const std::string& field, int width) {
    int c = ColumnOfField(field);
    if (c < 0) return;
    grid_.model().SetColumnWidth(c, width);
    grid_.Reload();
}

}  // namespace qv::ui
