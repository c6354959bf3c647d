#include "win/Navigator.h"

#include <commctrl.h>

#include "win/Handles.h"

namespace qv::win {

HWND Navigator::Create(HWND parent, int id, std::vector<Button> buttons, const RECT& bounds) {
    buttons_ = std::move(buttons);
    CreateWin("QvNavigator", 0, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, "", bounds.left, bounds.top,
              bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
    HINSTANCE inst = GetModuleHandleA(nullptr);
    for (size_t i = 0; i < buttons_.size(); ++i) {
        const RECT r = ButtonRect(i);
        windows_.push_back(CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, r.left, r.top,
                                           r.right - r.left, r.bottom - r.top, hwnd(),
                                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstButtonId + i)),
                                           inst, nullptr));
    }
    return hwnd();
}

void Navigator::AddHints(int showMs) {
    if (tooltip_ || !hwnd()) return;
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    if (!tooltip_) return;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        TTTOOLINFOA ti{};
        ti.cbSize = TTTOOLINFOA_V1_SIZE;  // common controls before 6 refuse the longer form
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = hwnd();
        ti.uId = reinterpret_cast<UINT_PTR>(windows_[i]);
        ti.lpszText = const_cast<char*>(buttons_[i].hint.c_str());
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    }
    SendMessageA(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(showMs, 0));
}

void Navigator::SetBounds(int x, int y, int width, int height) {
    MoveWindow(hwnd(), x, y, width, height, TRUE);  // its WM_SIZE lays the buttons out
}

HWND Navigator::ButtonWindow(NavButton kind) const {
    for (size_t i = 0; i < buttons_.size(); ++i)
        if (buttons_[i].kind == kind) return windows_[i];
    return nullptr;
}

// Equally wide buttons over the whole bar.
RECT Navigator::ButtonRect(size_t index) const {
    RECT rc{};
    GetClientRect(hwnd(), &rc);
    const int n = static_cast<int>(buttons_.size()), i = static_cast<int>(index);
    return RECT{rc.right * i / n, 0, rc.right * (i + 1) / n, rc.bottom};
}

void Navigator::Layout() {
    for (size_t i = 0; i < windows_.size(); ++i) {
        const RECT r = ButtonRect(i);
        MoveWindow(windows_[i], r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
}

void Navigator::DrawButton(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT rc = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &rc, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    const size_t index = static_cast<size_t>(item.CtlID - kFirstButtonId);
    if (index >= buttons_.size()) return;

    const COLORREF color = disabled ? GetSysColor(COLOR_GRAYTEXT) : RGB(0, 0, 0);
    Brush brush(CreateSolidBrush(color));
    Pen pen(CreatePen(PS_SOLID, 1, color));
    SelectGuard sb(dc, brush.get());
    SelectGuard sp(dc, pen.get());

    // Glyphs are drawn on a small grid centred in the button.
    const int u = 1;
    const int cx = (rc.left + rc.right) / 2 + (pressed ? 1 : 0);
    const int cy = (rc.top + rc.bottom) / 2 + (pressed ? 1 : 0);
    auto P = [&](int x, int y) { return POINT{cx + x * u, cy + y * u}; };
    auto triangle = [&](int dx, bool left) {
        POINT pts[3];
        if (left) {
            pts[0] = P(dx + 2, -4); pts[1] = P(dx + 2, 4); pts[2] = P(dx - 2, 0);
        } else {
            pts[0] = P(dx - 2, -4); pts[1] = P(dx - 2, 4); pts[2] = P(dx + 2, 0);
        }
        Polygon(dc, pts, 3);
    };
    auto bar = [&](int x) {
        RECT r{cx + x * u, cy - 4 * u, cx + (x + 2) * u, cy + 5 * u};
        FillRect(dc, &r, brush.get());
    };
    auto fill = [&](int l, int t, int r, int b) {
        RECT rr{cx + l * u, cy + t * u, cx + r * u, cy + b * u};
        FillRect(dc, &rr, brush.get());
    };
    switch (buttons_[index].kind) {
        case NavButton::First: bar(-4); triangle(1, true); break;
        case NavButton::Prior: triangle(0, true); break;
        case NavButton::Next: triangle(0, false); break;
        case NavButton::Last: triangle(-1, false); bar(3); break;
        case NavButton::Insert: fill(-4, -1, 5, 1); fill(-1, -4, 1, 5); break;
        case NavButton::Delete: fill(-4, -1, 5, 1); break;
        case NavButton::Edit: {
            POINT pts[3] = {P(-4, 3), P(4, 3), P(0, -4)};
            Polygon(dc, pts, 3);
            break;
        }
        case NavButton::Post: {
            Pen thick(CreatePen(PS_SOLID, 2, color));
            SelectGuard st(dc, thick.get());
            POINT pts[3] = {P(-4, 0), P(-1, 3), P(4, -4)};
            Polyline(dc, pts, 3);
            break;
        }
        case NavButton::Cancel: {
            Pen thick(CreatePen(PS_SOLID, 2, color));
            SelectGuard st(dc, thick.get());
            MoveToEx(dc, cx - 4, cy - 4, nullptr); LineTo(dc, cx + 4, cy + 4);
            MoveToEx(dc, cx + 4, cy - 4, nullptr); LineTo(dc, cx - 4, cy + 4);
            break;
        }
        case NavButton::Refresh: {
            Pen thick(CreatePen(PS_SOLID, 2, color));
            SelectGuard st(dc, thick.get());
            Arc(dc, cx - 5, cy - 5, cx + 5, cy + 5, cx + 5, cy - 2, cx - 2, cy - 5);
            POINT pts[3] = {P(3, -6), P(6, -1), P(1, -1)};
            Polygon(dc, pts, 3);
            break;
        }
    }
    if (item.itemState & ODS_FOCUS) {
        RECT f = rc;
        InflateRect(&f, -3, -3);
        DrawFocusRect(dc, &f);
    }
}

LRESULT Navigator::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE:
            Layout();
            return 0;
        case WM_DRAWITEM:
            DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wp);
            const size_t index = static_cast<size_t>(id - kFirstButtonId);
            if (HIWORD(wp) == BN_CLICKED && id >= kFirstButtonId && index < buttons_.size() &&
                Click)
                Click(buttons_[index].kind);
            return 0;
        }
        default:
            return Default(msg, wp, lp);
    }
}

}  // namespace qv::win
