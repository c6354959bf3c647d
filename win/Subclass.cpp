#include "win/Subclass.h"

namespace qv::win {

namespace {

const char kProp[] = "QvSubclass";

}  // namespace

bool Subclass::Install(HWND window, Handler handler) {
    Remove();
    if (!IsWindow(window) || GetPropA(window, kProp)) return false;
    if (!SetPropA(window, kProp, reinterpret_cast<HANDLE>(this))) return false;
    window_ = window;
    handler_ = std::move(handler);
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Subclass::Proc)));
    return true;
}

void Subclass::Remove() {
    if (!window_) return;
    if (IsWindow(window_)) {
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        RemovePropA(window_, kProp);
    }
    // The handler and the original procedure stay: Remove may be called from
    // inside the handler, which may still pass the message on.
    window_ = nullptr;
}

LRESULT Subclass::CallOriginal(HWND window, UINT msg, WPARAM wp, LPARAM lp) const {
    return CallWindowProcA(original_, window, msg, wp, lp);
}

LRESULT CALLBACK Subclass::Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Subclass*>(GetPropA(window, kProp));
    if (!self) return DefWindowProcA(window, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        // The last message: the window's own procedure finishes it.
        const WNDPROC original = self->original_;
        self->Remove();
        return CallWindowProcA(original, window, msg, wp, lp);
    }
    return self->handler_(window, msg, wp, lp);
}

}  // namespace qv::win
