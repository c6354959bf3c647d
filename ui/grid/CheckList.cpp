#include "ui/grid/CheckList.h"

#include <windowsx.h>

#include <algorithm>
#include <stdexcept>

#include "win/Handles.h"

namespace qv::grid {

HWND CheckList::Create(HWND parent, int id, int x, int y, int width, int height, DWORD extraStyle) {
    HWND h = CreateWin(kClassName, WS_EX_CLIENTEDGE, WS_CHILD | WS_TABSTOP | extraStyle, "", x, y, width, height,
                       parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), 0,
                       reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    if (!h) throw std::runtime_error("Liste kann nicht erzeugt werden");
    SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    return h;
}

void CheckList::SetItems(std::vector<std::string> items) {
    items_ = std::move(items);
    checked_.assign(items_.size(), false);
    selected_ = 0;
    if (hwnd()) InvalidateRect(hwnd(), nullptr, TRUE);
}

bool CheckList::Checked(int index) const {
    return index >= 0 && index < Count() && checked_[static_cast<size_t>(index)];
}

void CheckList::SetChecked(int index, bool checked) {
    if (index < 0 || index >= Count()) return;
    checked_[static_cast<size_t>(index)] = checked;
    if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

void CheckList::SetFont(HFONT font) {
    font_ = font;
    if (!hwnd()) return;
    win::WindowDC dc(hwnd());
    win::SelectGuard g(dc.get(), font_);
    TEXTMETRICA tm{};
    if (GetTextMetricsA(dc.get(), &tm)) itemHeight_ = std::max<int>(dpi_.Scale(16), tm.tmHeight + 3);
    InvalidateRect(hwnd(), nullptr, TRUE);
}

RECT CheckList::ItemRect(int index) const {
    RECT rc{};
    if (hwnd()) GetClientRect(hwnd(), &rc);
    return RECT{0, index * itemHeight_, rc.right, (index + 1) * itemHeight_};
}

int CheckList::FullHeight() const {
    RECT r{0, 0, 100, Count() * itemHeight_};
    AdjustWindowRectEx(&r, WS_CHILD, FALSE, WS_EX_CLIENTEDGE);
    return r.bottom - r.top;
}

void CheckList::Toggle(int index) {
    if (index < 0 || index >= Count()) return;
    bool now = !checked_[static_cast<size_t>(index)];
    checked_[static_cast<size_t>(index)] = now;
    if (OnToggle) OnToggle(index, now);
    InvalidateRect(hwnd(), nullptr, FALSE);
}

void CheckList::Paint(HDC dc) {
    RECT rc;
    GetClientRect(hwnd(), &rc);
    HBRUSH bg = GetSysColorBrush(COLOR_WINDOW);
    FillRect(dc, &rc, bg);
    win::SelectGuard g(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    bool focused = GetFocus() == hwnd();
    for (int i = 0; i < Count(); ++i) {
        RECT r = ItemRect(i);
        int box = std::min(dpi_.Scale(13), itemHeight_ - 2);
        int boxLeft = r.left + dpi_.Scale(2), boxTop = r.top + (itemHeight_ - box) / 2;
        RECT br{boxLeft, boxTop, boxLeft + box, boxTop + box};
        DrawFrameControl(dc, &br, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT | (Checked(i) ? DFCS_CHECKED : 0));
        RECT tr{br.right + dpi_.Scale(4), r.top, r.right - 2, r.bottom};
        bool sel = i == selected_;
        if (sel) {
            FillRect(dc, &tr, GetSysColorBrush(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        }
        SetTextColor(dc, GetSysColor(sel && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        RECT text = tr;
        text.left += 2;
        const std::string& s = items_[static_cast<size_t>(i)];
        DrawTextA(dc, s.c_str(), static_cast<int>(s.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        if (sel && focused) DrawFocusRect(dc, &tr);
    }
}

LRESULT CheckList::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            win::PaintDC pdc(hwnd());
            Paint(pdc.get());
            return 0;
        }
        case WM_PRINTCLIENT:
            Paint(reinterpret_cast<HDC>(wp));
            return 0;
        case WM_SETFONT:
            SetFont(reinterpret_cast<HFONT>(wp));
            return 0;
        case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_SETFOCUS:
        case WM_KILLFOCUS: InvalidateRect(hwnd(), nullptr, FALSE); return 0;
        case WM_LBUTTONDOWN: {
            SetFocus(hwnd());
            int index = GET_Y_LPARAM(lp) / std::max(1, itemHeight_);
            if (index >= 0 && index < Count()) {
                selected_ = index;
                Toggle(index);
            }
            return 0;
        }
        case WM_KEYDOWN:
            if (wp == VK_SPACE) {
                Toggle(selected_);
                return 0;
            }
            if (wp == VK_UP || wp == VK_DOWN) {
                selected_ = std::clamp(selected_ + (wp == VK_UP ? -1 : 1), 0, std::max(0, Count() - 1));
                InvalidateRect(hwnd(), nullptr, FALSE);
                return 0;
            }
            // The window that holds the list decides (a popup closes).
            if (wp == VK_ESCAPE || wp == VK_RETURN) return SendMessageA(GetParent(hwnd()), WM_KEYDOWN, wp, lp);
            break;
        default: break;
    }
    return Default(msg, wp, lp);
}

}  // namespace qv::grid
