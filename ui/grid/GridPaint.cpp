// The grid's painting: everything is drawn into an off-screen bitmap and
// copied to the window in one piece, so nothing flickers.
#include "ui/grid/Grid.h"

#include <algorithm>
#include <string>

#include "ui/grid/GridInternal.h"

namespace qv::grid {

namespace {

void FillSolid(HDC dc, const RECT& r, COLORREF color) {
    COLORREF old = SetBkColor(dc, color);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    SetBkColor(dc, old);
}

void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF color) {
    win::Pen pen(CreatePen(PS_SOLID, 1, color));
    win::SelectGuard g(dc, pen.get());
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

enum class Pointing { Down, Up, Right };

// A small filled triangle centred at cx, cy.
void Triangle(HDC dc, int cx, int cy, int size, Pointing dir, COLORREF color) {
    POINT p[3];
    if (dir == Pointing::Down) {
        p[0] = {cx - size, cy - size / 2};
        p[1] = {cx + size, cy - size / 2};
        p[2] = {cx, cy + size / 2 + 1};
    } else if (dir == Pointing::Up) {
        p[0] = {cx - size, cy + size / 2};
        p[1] = {cx + size, cy + size / 2};
        p[2] = {cx, cy - size / 2 - 1};
    } else {
        p[0] = {cx - size / 2, cy - size};
        p[1] = {cx - size / 2, cy + size};
        p[2] = {cx + size / 2 + 1, cy};
    }
    win::Brush brush(CreateSolidBrush(color));
    win::Pen pen(CreatePen(PS_SOLID, 1, color));
    win::SelectGuard gb(dc, brush.get());
    win::SelectGuard gp(dc, pen.get());
    Polygon(dc, p, 3);
}

}  // namespace

void Grid::OnPaint() {
    win::PaintDC pdc(hwnd());
    PaintTo(pdc.get());
}

void Grid::PaintTo(HDC target) {
    RECT rc;
    GetClientRect(hwnd(), &rc);
    int w = std::max<LONG>(1, rc.right), h = std::max<LONG>(1, rc.bottom);
    if (!backBuffer_ || backWidth_ != w || backHeight_ != h) {
        backBuffer_.reset(CreateCompatibleBitmap(target, w, h));
        backWidth_ = w;
        backHeight_ = h;
    }
    win::MemoryDC mem(target, backBuffer_.get());
    if (!mem) return;
    Draw(mem.get());
    BitBlt(target, 0, 0, w, h, mem.get(), 0, 0, SRCCOPY);
}

void Grid::Draw(HDC dc) {
    const Metrics& m = model_.metrics();
    RECT all{0, 0, backWidth_, backHeight_};
    FillSolid(dc, all, GetSysColor(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    win::SelectGuard fontGuard(dc, font_);
    COLORREF gridLine = RGB(192, 192, 192);
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);

    int rows = model_.RowCount();
    int first = model_.topRow();
    int last = std::min(rows, first + model_.VisibleRowCount() + 1);
    int bandRight = m.indicatorWidth - model_.scrollX() + model_.BandWidth();

    // Rows: cells, preview line, indicator.
    for (int r = first; r < last; ++r) {
        for (int c : model_.VisibleColumns()) DrawCell(dc, r, c);
        Rect pr = model_.PreviewRect(r);
        if (pr.Height() > 0) {
            RECT prc = ToRECT(pr);
            if (source_) {
                std::string text = source_->CellText(model_.DataRow(r), previewField_);
                RECT tr{prc.left + dpi_.Scale(16), prc.top, prc.right - 2, prc.bottom};
                SetTextColor(dc, RGB(0, 0, 160));
                DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &tr,
                          DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
            }
            if (model_.options().showPreviewGrid) Line(dc, prc.left, prc.bottom - 1, prc.right, prc.bottom - 1, gridLine);
        }
        Rect ir = model_.IndicatorRect(r);
        RECT irc = ToRECT(ir);
        FillSolid(dc, irc, face);
        Line(dc, irc.right - 1, irc.top, irc.right - 1, irc.bottom, shadow);
        Line(dc, irc.left, irc.bottom - 1, irc.right, irc.bottom - 1, shadow);
        if (r == model_.focusRow()) {
            int cy = ir.top + m.rowHeight / 2;
            RowState st = source_ ? source_->State() : RowState::Browse;
            SetTextColor(dc, RGB(0, 0, 0));
            if (st == RowState::Browse) {
                Triangle(dc, ir.left + m.indicatorWidth / 2, cy, dpi_.Scale(4), Pointing::Right, RGB(0, 0, 0));
            } else {
                const char* mark = st == RowState::Insert ? "*" : "I";
                RECT tr{ir.left, ir.top, ir.right - 1, ir.top + m.rowHeight};
                DrawTextA(dc, mark, 1, &tr, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
            }
        }
    }

    // Header.
    RECT corner{0, 0, m.indicatorWidth, m.headerHeight};
    FillSolid(dc, corner, face);
    DrawEdge(dc, &corner, BDR_RAISEDINNER, BF_RECT);
    for (int c : model_.VisibleColumns()) {
        RECT hr = ToRECT(model_.HeaderRect(c));
        FillSolid(dc, hr, face);
        DrawEdge(dc, &hr, BDR_RAISEDINNER, BF_RECT);
        const Column& col = model_.column(c);
        RECT tr{hr.left + 3, hr.top, hr.right - 3, hr.bottom};
        if (col.sort != SortMark::None) {
            tr.right -= dpi_.Scale(12);
            Triangle(dc, hr.right - dpi_.Scale(9), (hr.top + hr.bottom) / 2, dpi_.Scale(4),
                     col.sort == SortMark::Up ? Pointing::Up : Pointing::Down, shadow);
        }
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        const std::string& text = col.HeaderText();
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &tr,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if (bandRight < backWidth_) {
        RECT rest{bandRight, 0, backWidth_, m.headerHeight};
        FillSolid(dc, rest, face);
        Line(dc, rest.left, rest.bottom - 1, rest.right, rest.bottom - 1, shadow);
    }
}

void Grid::DrawCell(HDC dc, int row, int column) {
    const Column& col = model_.column(column);
    Rect r = model_.CellRect(row, column);
    RECT rc = ToRECT(r);
    int dataRow = model_.DataRow(row);
    std::string text = source_ ? source_->CellText(dataRow, col.field) : std::string();
    bool focusedCell = row == model_.focusRow() && column == model_.focusColumn();
    bool hasFocus = GetFocus() == hwnd();
    COLORREF bg = GetSysColor(COLOR_WINDOW);
    COLORREF fg = GetSysColor(COLOR_WINDOWTEXT);
    if (row == model_.focusRow()) bg = RGB(232, 238, 250);
    if (focusedCell && hasFocus && !EditorVisible()) {
        bg = GetSysColor(COLOR_HIGHLIGHT);
        fg = GetSysColor(COLOR_HIGHLIGHTTEXT);
    }
    if (CustomDrawCell) CustomDrawCell(column, dataRow, text, bg, fg);
    FillSolid(dc, rc, bg);
    SetTextColor(dc, fg);

    int buttons = model_.ButtonCount(column);
    RECT tr{rc.left + 3, rc.top, rc.right - 2, rc.bottom};
    if (buttons > 0) tr.right = model_.ButtonRect(row, column, 0).left - 1;
    if (col.kind == ColumnKind::Check) {
        RECT box = ToRECT(model_.CheckRect(row, column));
        DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT | (text == col.checkedValue ? DFCS_CHECKED : 0));
    } else {
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &tr,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    for (int b = 0; b < buttons; ++b) {
        RECT br = ToRECT(model_.ButtonRect(row, column, b));
        DrawFrameControl(dc, &br, DFC_BUTTON, DFCS_BUTTONPUSH);
        ButtonGlyph glyph = col.kind == ColumnKind::Button ? col.buttons[static_cast<size_t>(b)] : ButtonGlyph::DownArrow;
        int cx = (br.left + br.right) / 2, cy = (br.top + br.bottom) / 2;
        COLORREF ink = GetSysColor(COLOR_BTNTEXT);
        if (glyph == ButtonGlyph::DownArrow) {
            Triangle(dc, cx, cy, dpi_.Scale(3), Pointing::Down, ink);
        } else {
            const int step = dpi_.Scale(3), dot = dpi_.Scale(2);
            for (int d = -step; d <= step; d += step) {
                RECT dotRect{cx + d - dot / 2, cy + dot, cx + d - dot / 2 + dot, cy + 2 * dot};
                FillSolid(dc, dotRect, ink);
            }
        }
    }
    if (model_.options().showGrid) {
        Line(dc, rc.right - 1, rc.top, rc.right - 1, rc.bottom, RGB(192, 192, 192));
        Line(dc, rc.left, rc.bottom - 1, rc.right, rc.bottom - 1, RGB(224, 224, 224));
    }
    const HWND focus = GetFocus();
    if (focusedCell && EditorVisible() && (focus == hwnd() || focus == activeEditor_)) {
        RECT frame = rc;
        for (int i = 0; i < FocusFrame(); ++i) {
            FrameRect(dc, &frame, GetSysColorBrush(COLOR_HIGHLIGHT));
            InflateRect(&frame, -1, -1);
        }
    }
}

}  // namespace qv::grid
