#include "win/Desktop.h"

#include <algorithm>

namespace qv::win {

HWND TopLevelOf(HWND window) {
    while (window && (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD)) {
        HWND parent = GetParent(window);
        if (!parent) break;
        window = parent;
    }
    return window;
}

namespace {

// The work area as the system reports it.
RECT WorkAreaOfMonitor(const RECT& r) {
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    using MonitorFromRectFn = HMONITOR(WINAPI*)(LPCRECT, DWORD);
    using GetMonitorInfoFn = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);
    HMODULE user = GetModuleHandleA("user32.dll");
    if (!user) return work;
    auto monitorFromRect = reinterpret_cast<MonitorFromRectFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "MonitorFromRect")));
    auto getMonitorInfo = reinterpret_cast<GetMonitorInfoFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetMonitorInfoA")));
    if (!monitorFromRect || !getMonitorInfo) return work;
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (getMonitorInfo(monitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &mi)) work = mi.rcWork;
    return work;
}

// The taskbar along an edge of the work area is taken off it. Windows has
// done so already; Wine's virtual desktop shows a taskbar but reports the
// whole screen as the work area.
void WithoutTaskbar(RECT& work) {
    const HWND bar = FindWindowA("Shell_TrayWnd", nullptr);
    RECT t{};
    if (!bar || !IsWindowVisible(bar) || !GetWindowRect(bar, &t)) return;
    const bool wide = t.left <= work.left && t.right >= work.right;
    const bool tall = t.top <= work.top && t.bottom >= work.bottom;
    if (wide && t.top > work.top && t.top < work.bottom && t.bottom >= work.bottom) work.bottom = t.top;
    else if (wide && t.bottom < work.bottom && t.bottom > work.top && t.top <= work.top) work.top = t.bottom;
    else if (tall && t.left > work.left && t.left < work.right && t.right >= work.right) work.right = t.left;
    else if (tall && t.right < work.right && t.right > work.left && t.left <= work.left) work.left = t.right;
}

}  // namespace

RECT WorkAreaNear(const RECT& r) {
    RECT work = WorkAreaOfMonitor(r);
    WithoutTaskbar(work);
    return work;
}

void FitIntoWorkArea(HWND window) {
    RECT r{};
    if (!GetWindowRect(window, &r)) return;
    const RECT work = WorkAreaNear(r);
    const LONG w = std::min(r.right - r.left, work.right - work.left);
    const LONG h = std::min(r.bottom - r.top, work.bottom - work.top);
    const LONG x = std::max(work.left, std::min(r.left, work.right - w));
    const LONG y = std::max(work.top, std::min(r.top, work.bottom - h));
    if (x != r.left || y != r.top || w != r.right - r.left || h != r.bottom - r.top)
        SetWindowPos(window, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace qv::win
