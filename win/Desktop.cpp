#include "win/Desktop.h"

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

}  // namespace qv::win
