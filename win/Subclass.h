// A window procedure put in front of a window's own the classic way
// (GWLP_WNDPROC and CallWindowProcA), which every Windows has; the common
// controls' SetWindowSubclass needs their version 6. One object per window;
// the window gets its own procedure back when the object goes, or when the
// window is destroyed first.
#pragma once

#include <windows.h>

#include <functional>

namespace qv::win {

class Subclass {
public:
    // Sees every message first; calls CallOriginal for what it leaves to the window.
    using Handler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

    Subclass() = default;
    ~Subclass() { Remove(); }
    Subclass(const Subclass&) = delete;
    Subclass& operator=(const Subclass&) = delete;

    // False when the window is already subclassed by such an object, or gone.
    bool Install(HWND window, Handler handler);
    void Remove();
    LRESULT CallOriginal(HWND window, UINT msg, WPARAM wp, LPARAM lp) const;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp);

    HWND window_ = nullptr;
    WNDPROC original_ = nullptr;
    Handler handler_;
};

}  // namespace qv::win
