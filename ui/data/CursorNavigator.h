// A navigator bar bound to a table cursor, as the main window and the log
// viewer use it: each button moves, edits or refreshes the cursor, and a
// delete asks first.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <vector>

#include "engine/Table.h"
#include "win/MessageBox.h"
#include "win/Navigator.h"

namespace qv::ui {

// The given buttons in this order, each with its hint.
std::vector<win::Navigator::Button> NavigatorButtons(std::initializer_list<win::NavButton> kinds);

// The delete question ("Datensatz löschen?", OK and "Abbrechen"); true on OK.
bool ConfirmDeleteRow(const win::MessageBoxFn& messageBox, HWND owner);

// What a click on button does to cursor. Nothing while the cursor is closed; a
// delete only when there is a row and the question was answered with OK.
void NavigatorAction(engine::Cursor& cursor, win::NavButton button,
                     const win::MessageBoxFn& messageBox, HWND owner);

// Sends the navigator's clicks to NavigatorAction on cursor; the question is
// shown over owner.
void BindNavigator(win::Navigator& navigator, engine::Cursor& cursor,
                   win::MessageBoxFn messageBox, HWND owner);

}  // namespace qv::ui
