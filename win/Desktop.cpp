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

RECT WorkAreaNear(const RECT& r) {
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
