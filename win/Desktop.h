// Where windows sit on the desktop, with calls every Windows has: the
// functions for several monitors (98 and 2000 on) are looked up at run time.
#pragma once

#include <windows.h>

namespace qv::win {

// The top-level window that window belongs to (itself if it is one).
HWND TopLevelOf(HWND window);

// The work area (the screen without the taskbar) of the monitor nearest to r.
RECT WorkAreaNear(const RECT& r);

}  // namespace qv::win
