// The grid's popups: a control of the owner's shown in a small window below
// (or above) its cell, and what its closing writes back.
#include "ui/grid/Grid.h"

#include <algorithm>
#include <string>

#include "ui/grid/GridInternal.h"

namespace qv::grid {

HWND PopupWindow::Create(HWND owner) {
    return CreateWin("QvGridPopup", WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE,
                     WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, "", 0, 0, 10, 10, owner, nullptr);
}

void PopupWindow::RequestClose() {
    if (!open_) return;
    open_ = false;
    PostMessageA(grid_->hwnd(), kMsgPopupClosed, 0, 0);
}

LRESULT PopupWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ACTIVATE:
            if (LOWORD(wp) == WA_INACTIVE) RequestClose();
            break;
        case WM_ACTIVATEAPP:
            if (!wp) RequestClose();
            break;
        case WM_CLOSE:
            RequestClose();
            return 0;
        default:
            break;
    }
    return Default(msg, wp, lp);
}

HWND Grid::PopupWindow() const { return popup_ ? popup_->hwnd() : nullptr; }

void Grid::OpenPopup() {
    int col = model_.focusColumn();
    if (!source_ || col < 0 || model_.column(col).kind != ColumnKind::Popup || model_.RowCount() == 0) return;
    auto it = popupControls_.find(col);
    if (it == popupControls_.end() || !IsWindow(it->second) || PopupOpen()) return;
    if (!CommitEdit()) return;
    HideEditor();
    HWND control = it->second;
    if (InitPopup) InitPopup(col);

    RECT cr;
    GetWindowRect(control, &cr);
    popupControlParent_ = GetParent(control);
    popupControlRect_ = cr;
    MapWindowPoints(nullptr, popupControlParent_, reinterpret_cast<POINT*>(&popupControlRect_), 2);
    int cw = cr.right - cr.left, ch = cr.bottom - cr.top;
    RECT frame{0, 0, cw, ch};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(popup_->hwnd(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(popup_->hwnd(), GWL_EXSTYLE)));
    int pw = frame.right - frame.left, ph = frame.bottom - frame.top;

    RECT cell = CellRect(model_.focusRow(), col);
    MapWindowPoints(hwnd(), nullptr, reinterpret_cast<POINT*>(&cell), 2);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoA(MonitorFromRect(&cell, MONITOR_DEFAULTTONEAREST), &mi)) work = mi.rcWork;
    int x = std::clamp(static_cast<int>(cell.left), static_cast<int>(work.left),
                       std::max(static_cast<int>(work.left), static_cast<int>(work.right) - pw));
    int y = cell.bottom;
    if (y + ph > work.bottom) y = cell.top - ph;  // no room below: above the cell

    SetWindowTextA(popup_->hwnd(), model_.column(col).HeaderText().c_str());
    SetParent(control, popup_->hwnd());
    MoveWindow(control, 0, 0, cw, ch, FALSE);
    ShowWindow(control, SW_SHOW);
    SetWindowSubclass(control, PopupControlProc, kPopupControlSubclass, reinterpret_cast<DWORD_PTR>(this));
    popupColumn_ = col;
    popupDataRow_ = source_->CurrentRow();
    popup_->Open();
    SetWindowPos(popup_->hwnd(), HWND_TOP, x, y, pw, ph, SWP_SHOWWINDOW);
    SetActiveWindow(popup_->hwnd());
    SetFocus(control);
}

void Grid::ClosePopup() {
    if (!PopupOpen()) return;
    popup_->MarkClosed();
    FinishPopup();
}

void Grid::FinishPopup() {
    if (popupColumn_ < 0) return;
    int col = popupColumn_;
    popupColumn_ = -1;
    HWND control = popupControls_[col];
    RemoveWindowSubclass(control, PopupControlProc, kPopupControlSubclass);
    ShowWindow(popup_->hwnd(), SW_HIDE);
    ShowWindow(control, SW_HIDE);
    SetParent(control, popupControlParent_);
    MoveWindow(control, popupControlRect_.left, popupControlRect_.top,
               popupControlRect_.right - popupControlRect_.left, popupControlRect_.bottom - popupControlRect_.top,
               FALSE);
    if (!source_) return;
    std::string field = FieldOf(col);
    std::string text = source_->Value(field);
    std::string before = text;
    bool accept = false;
    if (CloseUp) CloseUp(col, text, accept);
    // The text belongs to the row the popup was opened on.
    if (accept && text != before && source_->CurrentRow() == popupDataRow_)
        Attempt([&] { source_->SetValue(field, text); });
    HWND root = GetAncestor(hwnd(), GA_ROOT);
    if (GetForegroundWindow() == root || GetActiveWindow() == root) SetFocus(hwnd());
    Invalidate();
}

LRESULT CALLBACK Grid::PopupControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    auto* self = reinterpret_cast<Grid*>(ref);
    if (msg == WM_KEYDOWN && (wp == VK_ESCAPE || wp == VK_RETURN)) {
        win::Guarded(hwnd, [&] { self->popup_->RequestClose(); });
        return 0;
    }
    if (msg == WM_GETDLGCODE) return DefSubclassProc(hwnd, msg, wp, lp) | DLGC_WANTALLKEYS;
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace qv::grid
