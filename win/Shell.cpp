#include "win/Shell.h"

#include "win/LateBound.h"

namespace qv::win {

BOOL NotifyIcon(DWORD message, NOTIFYICONDATAA* data) {
    static const auto fn = LateBound<BOOL(WINAPI*)(DWORD, NOTIFYICONDATAA*)>("shell32.dll", "Shell_NotifyIconA");
    return fn ? fn(message, data) : FALSE;
}

void AcceptDroppedFiles(HWND window, BOOL accept) {
    static const auto fn = LateBound<void(WINAPI*)(HWND, BOOL)>("shell32.dll", "DragAcceptFiles");
    if (fn) fn(window, accept);
}

UINT DroppedFile(HDROP drop, UINT index, char* buffer, UINT size) {
    static const auto fn = LateBound<UINT(WINAPI*)(HDROP, UINT, char*, UINT)>("shell32.dll", "DragQueryFileA");
    return fn ? fn(drop, index, buffer, size) : 0;
}

void FinishDrop(HDROP drop) {
    static const auto fn = LateBound<void(WINAPI*)(HDROP)>("shell32.dll", "DragFinish");
    if (fn) fn(drop);
}

HINSTANCE OpenWithShell(HWND owner, const char* verb, const char* file, const char* params, const char* dir,
                        int show) {
    static const auto fn = LateBound<HINSTANCE(WINAPI*)(HWND, const char*, const char*, const char*, const char*, int)>(
        "shell32.dll", "ShellExecuteA");
    return fn ? fn(owner, verb, file, params, dir, show) : reinterpret_cast<HINSTANCE>(SE_ERR_OOM);
}

BOOL OpenFileDialog(OPENFILENAMEA* ofn) {
    static const auto fn = LateBound<BOOL(WINAPI*)(OPENFILENAMEA*)>("comdlg32.dll", "GetOpenFileNameA");
    return fn ? fn(ofn) : FALSE;
}

}  // namespace qv::win
