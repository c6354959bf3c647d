// Base class for windows: one window, one object. The static window procedure
// stores `this` in the window's user data at WM_NCCREATE and forwards every
// message to HandleMessage; the pointer is cleared at WM_NCDESTROY, and the
// destructor destroys a window that still exists, so neither outlives the other.
//
// No exception ever leaves a window procedure: it is caught at the boundary and
// shown through the application's error sink.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

#include "win/Dpi.h"

namespace qv::win {

// What the application hands this layer, which holds none of its texts: its
// title (caption of plain message boxes and the error box), the words for an
// error that brings none, and the resource id of the icon its top-level
// windows show (0: none).
struct AppIdentity {
    std::string title;
    std::string unknownError;
    int iconId = 0;
};
void SetAppIdentity(AppIdentity identity);
const AppIdentity& Identity();
const std::string& AppTitle();

// The general error box: caption = application title, error icon, the text
// with a full stop added. Tests replace the sink, since a real message box
// would wait for a person.
using ErrorSink = std::function<void(HWND owner, const std::string& text)>;
void SetErrorSink(ErrorSink sink);
void ShowGeneralError(HWND owner, const std::string& text);
// The text the error box shows for a message: a full stop added unless the
// message already ends with one.
std::string ErrorBoxText(const std::string& message);

// Runs f, routing any exception to the general error box. For use at every
// boundary where Windows calls us.
template <typename F>
bool Guarded(HWND owner, F&& f) noexcept {
    try {
        f();
        return true;
    } catch (const std::exception& e) {
        ShowGeneralError(owner, e.what());
    } catch (...) {
        ShowGeneralError(owner, Identity().unknownError);
    }
    return false;
}

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return hwnd_; }

protected:
    // Registers the class on first use (class style and background given) and
    // creates the window with this object behind it. Throws when the class
    // cannot be registered.
    HWND CreateWin(const char* className, DWORD exStyle, DWORD style, const char* title, int x,
                   int y, int w, int h, HWND parent, HMENU menuOrId, UINT classStyle = 0,
                   HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp);
    // Called once the window is gone (after WM_NCDESTROY).
    virtual void OnDestroyed() {}

private:
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND hwnd_ = nullptr;
};

// Whether window has anything outside its client area: a border, an edge, a
// caption, a scroll bar or a menu bar.
bool HasFrame(HWND window);

// A child window without a frame has nothing to draw on WM_NCPAINT, yet
// DefWindowProc takes a window DC for it all the same; under Wine that is a
// visible-region round trip per window on the way to the first paint (8 of
// the panel's 25 ms there). Windows of this layer skip it by themselves; this
// makes a system control (a button, a label) skip it too. The control's
// GWLP_USERDATA keeps its own procedure, which gets back every other message.
void SkipFramePaint(HWND control);

// Sends WM_SETFONT to every child of parent.
void SetFontOnChildren(HWND parent, HFONT font);

}  // namespace qv::win
