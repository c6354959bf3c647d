// The grid's cell hints: one tooltip whose tool is the cell under the mouse,
// with the text CellHint gives for it. The grid relays its own mouse messages
// to the tooltip, so no other procedure has to sit on the grid's window.
#include <windowsx.h>

#include "ui/grid/Grid.h"
#include "ui/grid/GridInternal.h"
#include "win/CommonControls.h"

namespace qv::grid {

namespace {

constexpr UINT_PTR kHintTool = 1;

TTTOOLINFOA HintTool(HWND grid, const RECT& rect, const std::string& text) {
    TTTOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;  // common controls before 6 refuse the longer form
    ti.hwnd = grid;
    ti.uId = kHintTool;
    ti.rect = rect;
    ti.lpszText = const_cast<char*>(text.c_str());
    return ti;
}

}  // namespace

void Grid::SetHintTime(int ms) {
    hintTime_ = ms;
    if (hint_) SendMessageA(hint_.get(), TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(ms, 0));
}

bool Grid::EnsureHintWindow() {
    if (hint_) return true;
    hint_.reset(win::CreateTooltip(hwnd(), TTS_NOPREFIX));
    if (!hint_) return false;
    TTTOOLINFOA ti = HintTool(hwnd(), RECT{}, hintText_);
    SendMessageA(hint_.get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    // A width limit lets the text break at its line ends.
    SendMessageA(hint_.get(), TTM_SETMAXTIPWIDTH, 0, dpi_.Scale(400));
    if (font_) SendMessageA(hint_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    if (hintTime_ > 0) SetHintTime(hintTime_);
    return true;
}

// Hides the hint; an empty rectangle is no tool, so a hint about to show
// stays away too.
void Grid::SetHintTool(const RECT& rect) {
    SendMessageA(hint_.get(), TTM_POP, 0, 0);
    TTTOOLINFOA ti = HintTool(hwnd(), rect, hintText_);
    SendMessageA(hint_.get(), TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&ti));
    if (rect.right > rect.left) SendMessageA(hint_.get(), TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
}

// No hint over an open popup; after it the cell's hint is asked for again.
void Grid::PauseHint(bool paused) {
    hintRow_ = hintColumn_ = -1;
    if (!hint_) return;
    if (paused) SetHintTool(RECT{});
    SendMessageA(hint_.get(), TTM_ACTIVATE, paused ? FALSE : TRUE, 0);
}

void Grid::TrackHint(UINT msg, WPARAM wp, LPARAM lp) {
    if (!CellHint && !hint_) return;
    if (msg == WM_MOUSEMOVE) {
        const Hit hit = model_.HitTest(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        const bool inCell = hit.area == HitArea::Cell || hit.area == HitArea::CellButton;
        const int row = inCell ? hit.row : -1, column = inCell ? hit.column : -1;
        if (row != hintRow_ || column != hintColumn_) {
            hintRow_ = row;
            hintColumn_ = column;
            hintText_ = inCell && CellHint ? CellHint(column, model_.DataRow(row)) : std::string();
            // The tool is the cell itself: leaving it hides the hint, and
            // the next cell's hint waits for the mouse to rest again.
            if (!hintText_.empty() && EnsureHintWindow())
                SetHintTool(CellRect(row, column));
            else if (hint_)
                SetHintTool(RECT{});
        }
    }
    if (!hint_) return;
    MSG relayed{hwnd(), msg, wp, lp, GetTickCount(), {}};
    GetCursorPos(&relayed.pt);
    SendMessageA(hint_.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

}  // namespace qv::grid
