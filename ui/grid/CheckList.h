// A check list: one line per item with a check box that is either ticked or
// cleared. A click anywhere on an item, or the space bar on the selected item,
// toggles it and reports the toggle; setting a state from code reports nothing.
// Escape and Enter go to the window that holds the list.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "win/Dpi.h"
#include "win/Window.h"

namespace qv::grid {

class CheckList : public win::Window {
public:
    static constexpr const char* kClassName = "QvCheckList";

    // The check boxes and the least item height follow dpi; the rest the font.
    explicit CheckList(win::Dpi dpi = win::Dpi()) : dpi_(dpi), itemHeight_(dpi.Scale(16)) {}

    HWND Create(HWND parent, int id, int x, int y, int width, int height, DWORD extraStyle = 0);
    void SetItems(std::vector<std::string> items);
    int Count() const { return static_cast<int>(items_.size()); }
    bool Checked(int index) const;
    void SetChecked(int index, bool checked);  // no OnToggle
    int Selected() const { return selected_; }
    void SetFont(HFONT font);
    int ItemHeight() const { return itemHeight_; }
    RECT ItemRect(int index) const;
    // Height that shows every item.
    int FullHeight() const;

    // The user toggled item index to checked.
    std::function<void(int index, bool checked)> OnToggle;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Toggle(int index);
    void Paint(HDC dc);

    win::Dpi dpi_;
    std::vector<std::string> items_;
    std::vector<bool> checked_;
    int selected_ = 0;
    int itemHeight_;
    HFONT font_ = nullptr;
};

}  // namespace qv::grid
