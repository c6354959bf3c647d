// The grid's popups: a control of the owner's shown in a small window below
// (or above) its cell, and what its closing writes back.
#include "ui/grid/Grid.h"

#include <algorithm>
#include <string>

#include "ui/grid/GridInternal.h"
#include "win/Desktop.h"

namespace qv::grid {

HWND PopupWindow::Create(HWND owner) {
    return CreateWin("QvGridPopup", WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT,
                     WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, "", 0, 0, 10, 10, owner, nullptr);
}

void PopupWindow::RequestClose(bool cancel) {
    if (!open_) return;
    open_ = false;
    PostMessageA(grid_->hwnd(), kMsgPopupClosed, cancel ? 1 : 0, 0);
}

bool PopupWindow::OwnedByPopup(HWND other) const {
    for (HWND w = other; w; w = GetWindow(w, GW_OWNER))
        if (w == hwnd()) return true;
    return false;
}

LRESULT PopupWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ACTIVATE:
            // A window the popup owns (the message box of its own control's
            // check) takes the activation without the user leaving the popup.
            if (LOWORD(wp) == WA_INACTIVE && !OwnedByPopup(reinterpret_cast<HWND>(lp))) RequestClose();
            break;
        case WM_ACTIVATEAPP:
            if (!wp) RequestClose();
            break;
        case WM_CLOSE:
            RequestClose();
            return 0;
        // Enter and Escape from the dialog navigation (Grid::PreTranslate).
        case WM_COMMAND:
            if (lp == 0 && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
                RequestClose(LOWORD(wp) == IDCANCEL);
                return 0;
            }
            break;
        default:
            break;
    }
    return Default(msg, wp, lp);
}

HWND Grid::PopupWindow() const { return popup_ ? popup_->hwnd() : nullptr; }

void Grid::RequestPopupClose(bool cancel) {
    if (PopupOpen() && popup_) popup_->RequestClose(cancel);
}

bool Grid::PreTranslate(MSG* msg) {
    if (!PopupOpen() || !popup_ || !popup_->hwnd()) return false;
    const HWND p = popup_->hwnd();
    if (msg->hwnd != p && !IsChild(p, msg->hwnd)) return false;
    return IsDialogMessageA(p, msg) != FALSE;
}

void Grid::OpenPopup() {
    int col = model_.focusColumn();
    if (!source_ || readOnly_ || col < 0 || model_.column(col).kind != ColumnKind::Popup ||
        model_.RowCount() == 0)
        return;
    auto it = popupControls_.find(col);
    if (it == popupControls_.end() || !IsWindow(it->second) || PopupOpen()) return;
    if (!CommitEdit()) return;
    HideEditor();
    PauseHint(true);
    HWND control = it->second;
    CreatePopupWindow();
    if (InitPopup) InitPopup(col);

    RECT cr;
    GetWindowRect(control, &cr);
    popupControlParent_ = GetParent(control);
    popupControlRect_ = cr;
    MapWindowPoints(nullptr, popupControlParent_, reinterpret_cast<POINT*>(&popupControlRect_), 2);

    SetWindowTextA(popup_->hwnd(), model_.column(col).HeaderText().c_str());
    SetParent(control, popup_->hwnd());
    MoveWindow(control, 0, 0, cr.right - cr.left, cr.bottom - cr.top, FALSE);
    ShowWindow(control, SW_SHOW);
    popupControlHook_.Install(control,
                              [this](HWND w, UINT m, WPARAM wp, LPARAM lp) { return PopupControlProc(w, m, wp, lp); });
    popupColumn_ = col;
    popupRowKey_ = source_->CurrentRowKey();
    popup_->Open();
    PlacePopup(SWP_SHOWWINDOW);
    SetActiveWindow(popup_->hwnd());
    SetFocus(control);
}

// Sized to the control, below the cell, or above it when the screen has no
// room below.
void Grid::PlacePopup(UINT flags) {
    RECT cr;
    GetWindowRect(popupControls_[popupColumn_], &cr);
    RECT frame{0, 0, cr.right - cr.left, cr.bottom - cr.top};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(popup_->hwnd(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(popup_->hwnd(), GWL_EXSTYLE)));
    const int pw = frame.right - frame.left, ph = frame.bottom - frame.top;

    RECT cell = CellRect(model_.focusRow(), popupColumn_);
    MapWindowPoints(hwnd(), nullptr, reinterpret_cast<POINT*>(&cell), 2);
    const RECT work = win::WorkAreaNear(cell);
    int x = std::clamp(static_cast<int>(cell.left), static_cast<int>(work.left),
                       std::max(static_cast<int>(work.left), static_cast<int>(work.right) - pw));
    int y = cell.bottom;
    if (y + ph > work.bottom) y = cell.top - ph;
    SetWindowPos(popup_->hwnd(), HWND_TOP, x, y, pw, ph, flags);
}

void Grid::FitPopup() {
    if (PopupOpen()) PlacePopup(SWP_NOACTIVATE);
}

void Grid::ClosePopup() {
    if (!PopupOpen()) return;
    popup_->MarkClosed();
    FinishPopup(false);
}

// A cancelled popup (Escape) leaves the cell as it was: its close handler is
// not asked.
void Grid::FinishPopup(bool cancelled) {
    if (popupColumn_ < 0) return;
    int col = popupColumn_;
    popupColumn_ = -1;
    HWND control = popupControls_[col];
    popupControlHook_.Remove();
    PauseHint(false);
    ShowWindow(popup_->hwnd(), SW_HIDE);
    ShowWindow(control, SW_HIDE);
    SetParent(control, popupControlParent_);
    MoveWindow(control, popupControlRect_.left, popupControlRect_.top,
               popupControlRect_.right - popupControlRect_.left, popupControlRect_.bottom - popupControlRect_.top,
               FALSE);
    if (source_ && !cancelled) {
        std::string field = FieldOf(col);
        std::string text = source_->Value(field);
        std::string before = text;
        bool accept = false;
        if (CloseUp) CloseUp(col, text, accept);
        // The text belongs to the row the popup was opened on, wherever a
        // tick's post and refresh put it meanwhile.
        if (accept && text != before && source_->IsCurrentRow(popupRowKey_))
            Attempt([&] { source_->SetValue(field, text); });
    }
    HWND root = win::TopLevelOf(hwnd());
    if (GetForegroundWindow() == root || GetActiveWindow() == root) SetFocus(hwnd());
    Invalidate();
}

LRESULT Grid::PopupControlProc(HWND control, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_KEYDOWN && (wp == VK_ESCAPE || wp == VK_RETURN)) {
        win::Guarded(control, [&] { popup_->RequestClose(wp == VK_ESCAPE); });
        return 0;
    }
    const LRESULT result = popupControlHook_.CallOriginal(control, msg, wp, lp);
    return msg == WM_GETDLGCODE ? result | DLGC_WANTALLKEYS : result;
}

}  // namespace qv::grid
