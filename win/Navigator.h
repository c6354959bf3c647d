// A navigator bar: a row of equally wide buttons with drawn glyphs (first,
// prior, next, last, insert, delete, edit, post, cancel, refresh), each with a
// hint. The owner decides which buttons the bar has and what a click does.
//
// The bar is one window that draws its buttons and follows the mouse itself:
// a window per button costs the start-up a dozen windows to make, show and
// paint. A click takes the keyboard focus, as a push button's does, so an
// editor that was open hands its text over before the action. By the
// keyboard the bar is one tab stop: Left, Right, Home and End choose a
// button, the space bar and Enter press it.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "win/Window.h"

namespace qv::win {

enum class NavButton { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };

class Navigator : public Window {
public:
    struct Button {
        NavButton kind;
        std::string hint;
    };

    // The bar at bounds (in the parent's client area).
    HWND Create(HWND parent, int id, std::vector<Button> buttons, const RECT& bounds = RECT{});
    // Gives the buttons their hints, each shown for showMs: made apart from
    // the bar, so that a window can show before them.
    void AddHints(int showMs);
    void SetBounds(int x, int y, int width, int height);
    // Where the button is in the bar's client area; empty when the bar has no
    // such button.
    RECT ButtonRect(NavButton kind) const;

    std::function<void(NavButton)> Click;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    RECT RectAt(size_t index) const;
    int HitTest(LPARAM point) const;
    void InvalidateButton(int index);
    void SetDown(bool down);
    void LetUp();  // no button held any more
    void ClickAt(int index);
    void MoveFocus(WPARAM key);
    void Paint(HDC dc, const RECT& area);
    void DrawButton(HDC dc, size_t index) const;
    TTTOOLINFOA HintOf(size_t index) const;
    void PlaceHints();

    std::vector<Button> buttons_;
    HWND tooltip_ = nullptr;
    int pressed_ = -1;     // held by the mouse or the space bar
    bool down_ = false;    // drawn pressed: the pointer is still over it
    int focused_ = -1;     // clicked or chosen last, drawn with the focus frame while the bar has the focus
};

}  // namespace qv::win
