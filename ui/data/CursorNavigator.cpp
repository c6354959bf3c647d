#include "ui/data/CursorNavigator.h"

#include <utility>

namespace qv::ui {

namespace {

const char* Hint(win::NavButton kind) {
    switch (kind) {
        case win::NavButton::First: return "Erster Datensatz";
        case win::NavButton::Prior: return "Vorheriger Datensatz";
        case win::NavButton::Next: return "N\xe4" "chster Datensatz";
        case win::NavButton::Last: return "Letzter Datensatz";
        case win::NavButton::Insert: return "Datensatz einf\xfcgen";
        case win::NavButton::Delete: return "Datensatz l\xf6schen";
        case win::NavButton::Edit: return "Datensatz bearbeiten";
        case win::NavButton::Post: return "\xdc" "bernehmen";
        case win::NavButton::Cancel: return "Bearbeiten abbrechen";
        case win::NavButton::Refresh: return "Daten aktualisieren";
    }
    return "";
}

}  // namespace

std::vector<win::Navigator::Button> NavigatorButtons(std::initializer_list<win::NavButton> kinds) {
    std::vector<win::Navigator::Button> buttons;
    for (win::NavButton kind : kinds) buttons.push_back({kind, Hint(kind)});
    return buttons;
}

bool ConfirmDeleteRow(const win::MessageBoxFn& messageBox, HWND owner) {
    win::MessageBoxRequest r;
    r.text = "Datensatz l\xf6schen?";
    r.caption = "Best\xe4tigung";
    r.type = MB_OKCANCEL | MB_ICONQUESTION;
    r.cancelText = "Abbrechen";
    return messageBox(owner, r) == IDOK;
}

void NavigatorAction(engine::Cursor& c, win::NavButton button,
                     const win::MessageBoxFn& messageBox, HWND owner) {
    if (!c.active()) return;
    switch (button) {
        case win::NavButton::First: c.First(); break;
        case win::NavButton::Prior: c.Prior(); break;
        case win::NavButton::Next: c.Next(); break;
        case win::NavButton::Last: c.Last(); break;
        case win::NavButton::Insert: c.Insert(); break;
        case win::NavButton::Edit: c.Edit(); break;
        case win::NavButton::Post: c.Post(); break;
        case win::NavButton::Cancel: c.Cancel(); break;
        case win::NavButton::Refresh: c.Refresh(); break;
        case win::NavButton::Delete:
            if (c.RecordCount() > 0 && ConfirmDeleteRow(messageBox, owner)) c.Delete();
            break;
    }
}

void BindNavigator(win::Navigator& navigator, engine::Cursor& cursor,
                   win::MessageBoxFn messageBox, HWND owner) {
    navigator.Click = [&cursor, box = std::move(messageBox), owner](win::NavButton button) {
        NavigatorAction(cursor, button, box, owner);
    };
}

}  // namespace qv::ui
