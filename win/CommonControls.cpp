#include "win/CommonControls.h"

#include "win/LateBound.h"

namespace qv::win {

namespace {

template <typename Fn>
Fn Comctl(const char* name) {
    return LateBound<Fn>("comctl32.dll", name);
}

}  // namespace

bool UseCommonControls(DWORD classes) {
    static const auto fn = Comctl<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)>("InitCommonControlsEx");
    if (fn) {
        INITCOMMONCONTROLSEX icc{sizeof icc, classes};
        return fn(&icc) != FALSE;
    }
    // Windows 95 and NT 4 without Internet Explorer 3 have the common controls
    // 4.0: their classes (the tooltip among them, no date and time picker) are
    // there once the DLL is.
    static const auto old = Comctl<void(WINAPI*)()>("InitCommonControls");
    if (!old) return false;
    old();
    return (classes & ~static_cast<DWORD>(ICC_WIN95_CLASSES)) == 0;
}

HWND CreateTooltip(HWND owner, DWORD extraStyle) {
    if (!UseCommonControls(ICC_WIN95_CLASSES)) return nullptr;
    return CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | extraStyle,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

HIMAGELIST CreateImageList(int cx, int cy, UINT flags, int initial, int grow) {
    static const auto fn = Comctl<HIMAGELIST(WINAPI*)(int, int, UINT, int, int)>("ImageList_Create");
    return fn ? fn(cx, cy, flags, initial, grow) : nullptr;
}

int AddMaskedImage(HIMAGELIST list, HBITMAP image, COLORREF mask) {
    static const auto fn = Comctl<int(WINAPI*)(HIMAGELIST, HBITMAP, COLORREF)>("ImageList_AddMasked");
    return fn ? fn(list, image, mask) : -1;
}

HICON ImageIcon(HIMAGELIST list, int index, UINT flags) {
    static const auto fn = Comctl<HICON(WINAPI*)(HIMAGELIST, int, UINT)>("ImageList_GetIcon");
    return fn ? fn(list, index, flags) : nullptr;
}

BOOL DestroyImageList(HIMAGELIST list) {
    static const auto fn = Comctl<BOOL(WINAPI*)(HIMAGELIST)>("ImageList_Destroy");
    return fn ? fn(list) : FALSE;
}

}  // namespace qv::win
