// A navigator bar: a row of equally wide buttons with drawn glyphs (first,
// prior, next, last, insert, delete, edit, post, cancel, refresh), each with a
// hint. The owner decides which buttons the bar has and what a click does.
#pragma once

#include <windows.h>

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
    // Control ids of the buttons: kFirstButtonId + position in the bar.
    static constexpr int kFirstButtonId = 100;

    // The bar at bounds (in the parent's client area), its buttons in place.
    HWND Create(HWND parent, int id, std::vector<Button> buttons, const RECT& bounds = RECT{});
    // Gives the buttons their hints, each shown for showMs: made apart from
    // the bar, so that a window can show before them.
    void AddHints(int showMs);
    void SetBounds(int x, int y, int width, int height);
    HWND ButtonWindow(NavButton kind) const;  // nullptr when the bar has no such button

    std::function<void(NavButton)> Click;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    RECT ButtonRect(size_t index) const;
    void Layout();
    void DrawButton(const DRAWITEMSTRUCT& item);

    std::vector<Button> buttons_;
    std::vector<HWND> windows_;
    HWND tooltip_ = nullptr;
};

}  // namespace qv::win
