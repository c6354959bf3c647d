// The keyboard focus of a top-level window that is not a dialog, kept as a
// dialog keeps it: the control that had it when the window went inactive
// gets it back when the window is activated or restored (from the taskbar,
// the tray, after a message box), the first tab stop when none had it yet.
// Without this the window itself would take the focus, and no key would
// reach a control until one was clicked.
#pragma once

#include <windows.h>

namespace qv::win {

class FocusKeeper {
public:
    // For the window's WM_ACTIVATE and WM_SETFOCUS; true when handled (the
    // default handling would put the focus on the window itself).
    bool Handle(HWND window, UINT msg, WPARAM wp);
    // Gives the kept control the focus now (the window is shown already).
    void Restore(HWND window);

private:
    HWND saved_ = nullptr;
};

// Focus rectangles and the mnemonics' underlines shown from the start, not
// only once a key has been pressed: a keyboard user always sees where the
// keys go. Sent again once children are added later.
void ShowKeyboardCues(HWND window);

}  // namespace qv::win
