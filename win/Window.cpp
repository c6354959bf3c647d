#include "win/Window.h"

#include <stdexcept>
#include <string>

#include "win/CommonControls.h"
#include "win/Handles.h"

namespace qv::win {

void ImageListTraits::close(HIMAGELIST h) { DestroyImageList(h); }

namespace {

AppIdentity& IdentityStore() {
    static AppIdentity identity;
    return identity;
}

ErrorSink& SinkStore() {
    static ErrorSink sink;
    return sink;
}

}  // namespace

void SetAppIdentity(AppIdentity identity) { IdentityStore() = std::move(identity); }
const AppIdentity& Identity() { return IdentityStore(); }
const std::string& AppTitle() { return IdentityStore().title; }
void SetErrorSink(ErrorSink sink) { SinkStore() = std::move(sink); }

std::string ErrorBoxText(const std::string& message) {
    if (!message.empty() && message.back() == '.') return message;
    return message + ".";
}

void ShowGeneralError(HWND owner, const std::string& text) {
    try {
        if (SinkStore()) {
            SinkStore()(owner, text);
            return;
        }
    } catch (...) {
    }
    MessageBoxA(owner, ErrorBoxText(text).c_str(), AppTitle().c_str(), MB_OK | MB_ICONERROR);
}

Window::~Window() {
    if (hwnd_) {
        HWND h = hwnd_;
        SetWindowLongPtrA(h, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        DestroyWindow(h);
    }
}

HWND Window::CreateWin(const char* className, DWORD exStyle, DWORD style, const char* title,
                       int x, int y, int w, int h, HWND parent, HMENU menuOrId, UINT classStyle,
                       HBRUSH background) {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExA(inst, className, &existing)) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = classStyle;
        wc.lpfnWndProc = StaticWndProc;
        wc.hInstance = inst;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = background;
        wc.lpszClassName = className;
        // Only a top-level window shows an icon; for each class that has one,
        // the system also copies its small size out of the resource.
        const int icon = Identity().iconId;
        if (!(style & WS_CHILD) && icon != 0) wc.hIcon = LoadIconA(inst, MAKEINTRESOURCEA(icon));
        // Registered by another thread since the look-up: that is no error.
        if (!RegisterClassExA(&wc)) {
            const DWORD error = GetLastError();
            if (error != ERROR_CLASS_ALREADY_EXISTS)
                throw std::runtime_error("Fensterklasse " + std::string(className) +
                                         " kann nicht angemeldet werden (Fehler " + std::to_string(error) + ")");
        }
    }
    return CreateWindowExA(exStyle, className, title, style, x, y, w, h, parent, menuOrId, inst,
                           this);
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) { return Default(msg, wp, lp); }

LRESULT Window::Default(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCPAINT && !HasFrame(hwnd_)) return 0;
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

bool HasFrame(HWND window) {
    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
    return (style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME | WS_HSCROLL | WS_VSCROLL)) != 0 ||
           (exStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME)) != 0 ||
           (!(style & WS_CHILD) && GetMenu(window));
}

namespace {

LRESULT CALLBACK FramelessProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    const auto own = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (msg == WM_NCPAINT && !HasFrame(window)) return 0;
    return CallWindowProcA(own, window, msg, wp, lp);
}

}  // namespace

void SkipFramePaint(HWND control) {
    if (!control || GetWindowLongPtrA(control, GWLP_USERDATA)) return;
    const LONG_PTR own = GetWindowLongPtrA(control, GWLP_WNDPROC);
    SetWindowLongPtrA(control, GWLP_USERDATA, own);
    SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FramelessProc));
}

LRESULT CALLBACK Window::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Window* self = nullptr;
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        self = static_cast<Window*>(cs->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    LRESULT result = 0;
    if (!Guarded(hwnd, [&] { result = self->HandleMessage(msg, wp, lp); })) {
        result = DefWindowProcA(hwnd, msg, wp, lp);
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        Guarded(hwnd, [&] { self->OnDestroyed(); });
    }
    return result;
}

void SetFontOnChildren(HWND parent, HFONT font) {
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM f) __attribute__((stdcall)) -> BOOL {
            SendMessageA(child, WM_SETFONT, static_cast<WPARAM>(f), TRUE);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(font));
}

}  // namespace qv::win
