#include "win/Focus.h"

namespace qv::win {

bool FocusKeeper::Handle(HWND window, UINT msg, WPARAM wp) {
    if (msg == WM_ACTIVATE) {
        if (LOWORD(wp) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(window, focus)) saved_ = focus;
            return false;
        }
        if (HIWORD(wp)) return false;  // activated while minimized: nothing to focus yet
        Restore(window);
        return true;
    }
    if (msg == WM_SETFOCUS) {
        // The window itself took the focus (a restore by Wine, the end of a
        // modal box): from one of its controls, which gets it back.
        const HWND from = reinterpret_cast<HWND>(wp);
        if (from && IsChild(window, from)) saved_ = from;
        Restore(window);
        return true;
    }
    return false;
}

void FocusKeeper::Restore(HWND window) {
    if (IsIconic(window)) return;
    HWND to = saved_;
    if (!to || !IsWindow(to) || !IsChild(window, to) || !IsWindowVisible(to) || !IsWindowEnabled(to))
        to = GetNextDlgTabItem(window, nullptr, FALSE);
    if (to && GetFocus() != to) SetFocus(to);
}

void ShowKeyboardCues(HWND window) {
    SendMessageA(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

}  // namespace qv::win
