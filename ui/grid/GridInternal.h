// Shared by the grid's own source files only: its private messages, timer
// id, small conversions and the popup window class.
#pragma once

#include <windows.h>

#include <string>

#include "ui/grid/Grid.h"
#include "ui/grid/GridModel.h"
#include "win/Window.h"

namespace qv::grid {

constexpr UINT kMsgPopupClosed = WM_APP + 0x51;
constexpr UINT kMsgResort = WM_APP + 0x52;
constexpr UINT_PTR kAutoScrollTimer = 0x5149;

inline RECT ToRECT(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
inline bool KeyIsDown(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

// Wine's DefWindowProc learns that a key came between Alt's press and its
// release only from the WM_SYSKEYDOWN it is given itself: a combination the
// grid takes (Alt+Down) would let Alt's release open the window menu of the
// popup that just opened, where the keys then do nothing. Windows keeps that
// state in its input system; there the call changes nothing.
inline void TellSystemOfKey(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SYSKEYDOWN) DefWindowProcA(window, msg, wp, lp);
}

// The window that holds a popup control below (or above) its cell. Any way
// of closing it, a click outside, its close button, switching to another
// application, Enter, tells the grid once; Escape tells it the closing is
// cancelled. A window it owns itself (a message box over it) does not close it.
class PopupWindow : public win::Window {
public:
    explicit PopupWindow(Grid* grid) : grid_(grid) {}
    HWND Create(HWND owner);
    void Open() { open_ = true; }
    void MarkClosed() { open_ = false; }
    bool open() const { return open_; }
    void RequestClose(bool cancel = false);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    bool OwnedByPopup(HWND other) const;
    Grid* grid_;
    bool open_ = false;
};

}  // namespace qv::grid
