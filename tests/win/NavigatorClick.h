// Clicks a button of a navigator bar as the mouse does: pressed and released
// over its middle. The bar's count buttons share its width equally.
#pragma once

#include <windows.h>

namespace qv::testing {

inline void ClickNavigatorButton(HWND bar, int index, int count) {
    RECT rc{};
    GetClientRect(bar, &rc);
    const int x = (rc.right * index / count + rc.right * (index + 1) / count) / 2;
    const LPARAM at = MAKELPARAM(x, rc.bottom / 2);
    SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(bar, WM_LBUTTONUP, 0, at);
}

}  // namespace qv::testing
