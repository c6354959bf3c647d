// The grid's scrolling: scroll bars, wheel, and the automatic scrolling while
// a row is dragged near the top or bottom edge.
#include "ui/grid/Grid.h"

#include <algorithm>

#include "ui/grid/GridInternal.h"

namespace qv::grid {

void Grid::UpdateScrollBars() {
    // A grid not on the screen yet is set up many times over (columns, font,
    // layout, rows); its bars are drawn with it when it shows.
    const BOOL redraw = IsWindowVisible(hwnd());
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(0, model_.RowCount() - 1);
    si.nPage = static_cast<UINT>(std::max(1, model_.VisibleRowCount()));
    si.nPos = model_.topRow();
    SetScrollInfo(hwnd(), SB_VERT, &si, redraw);
    si.nMax = std::max(0, model_.metrics().indicatorWidth + model_.BandWidth() - 1);
    si.nPage = static_cast<UINT>(std::max(1, model_.clientWidth()));
    si.nPos = model_.scrollX();
    SetScrollInfo(hwnd(), SB_HORZ, &si, redraw);
}

void Grid::Refresh() {
    if (!hwnd()) return;
    UpdateScrollBars();
    PlaceEditor();
    Invalidate();
}

int Grid::ScrollTarget(int bar, int request, int pos, int line, int page, int last) const {
    switch (request) {
        case SB_LINEUP: return pos - line;
        case SB_LINEDOWN: return pos + line;
        case SB_PAGEUP: return pos - page;
        case SB_PAGEDOWN: return pos + page;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO si{};
            si.cbSize = sizeof si;
            si.fMask = SIF_ALL;
            GetScrollInfo(hwnd(), bar, &si);
            return si.nTrackPos;
        }
        case SB_TOP: return 0;
        case SB_BOTTOM: return last;
        default: return pos;
    }
}

// Vertically by rows, horizontally by pixels; the model clamps both.
void Grid::OnScroll(int bar, int request) {
    if (bar == SB_VERT) {
        const int page = std::max(1, model_.VisibleRowCount());
        model_.SetTopRow(ScrollTarget(bar, request, model_.topRow(), 1, page, model_.MaxTopRow()));
    } else {
        const int page = model_.clientWidth();
        model_.SetScrollX(ScrollTarget(bar, request, model_.scrollX(), dpi_.Scale(16), page, model_.MaxScrollX()));
    }
    Refresh();
}

void Grid::OnMouseWheel(int delta) {
    model_.SetTopRow(model_.topRow() - delta / WHEEL_DELTA * 3);
    Refresh();
}

bool Grid::OnTimer(UINT_PTR id) {
    if (id != kAutoScrollTimer || track_ != Track::RowDrag) return false;
    AutoScroll();
    return true;
}

// A dragged row held within a row's height of the header or of the bottom
// edge scrolls the rows by one per tick.
void Grid::AutoScroll() {
    POINT p = lastDragPoint_;
    ScreenToClient(hwnd(), &p);
    int edge = model_.metrics().rowHeight;
    int top = model_.topRow();
    if (p.y >= 0 && p.y < model_.metrics().headerHeight + edge) model_.SetTopRow(top - 1);
    else if (p.y > model_.clientHeight() - edge && p.y < model_.clientHeight() + edge) model_.SetTopRow(top + 1);
    if (model_.topRow() != top) Refresh();
}

}  // namespace qv::grid
