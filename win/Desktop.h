// Where windows sit on the desktop, with calls every Windows has: the
// functions for several monitors (98 and 2000 on) are looked up at run time.
#pragma once

#include <windows.h>

namespace qv::win {

// The top-level window that window belongs to (itself if it is one).
HWND TopLevelOf(HWND window);

// The work area (the screen without the taskbar) of the monitor nearest to r.
RECT WorkAreaNear(const RECT& r);

// Moves a top-level window into the work area of its monitor, made smaller
// where it is larger than that area: no part of it under the taskbar or off
// the screen.
void FitIntoWorkArea(HWND window);

// Whether a and b are the same rectangle.
inline bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace qv::win
