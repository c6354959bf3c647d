#include "win/Navigator.h"

#include <algorithm>

#include <commctrl.h>
#include <windowsx.h>

#include "win/CommonControls.h"
#include "win/Handles.h"

namespace qv::win {

HWND Navigator::Create(HWND parent, int id, std::vector<Button> buttons, const RECT& bounds) {
    buttons_ = std::move(buttons);
    // Button widths follow the bar's: a new size repaints all of it.
    return CreateWin("QvNavigator", 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP, "", bounds.left, bounds.top,
                     bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), CS_HREDRAW | CS_VREDRAW);
}

void Navigator::AddHints(int showMs) {
    if (tooltip_ || !hwnd()) return;
    tooltip_ = CreateTooltip(hwnd());
    if (!tooltip_) return;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        TTTOOLINFOA ti = HintOf(i);
        ti.uFlags = TTF_SUBCLASS;
        ti.lpszText = const_cast<char*>(buttons_[i].hint.c_str());
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    }
    SendMessageA(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(showMs, 0));
}

// The hint of button index: the button's place in the bar.
TTTOOLINFOA Navigator::HintOf(size_t index) const {
    TTTOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;  // common controls before 6 refuse the longer form
    ti.hwnd = hwnd();
    ti.uId = index;
    ti.rect = RectAt(index);
    return ti;
}

void Navigator::PlaceHints() {
    if (!tooltip_) return;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        TTTOOLINFOA ti = HintOf(i);
        SendMessageA(tooltip_, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

void Navigator::SetBounds(int x, int y, int width, int height) { MoveWindow(hwnd(), x, y, width, height, TRUE); }

RECT Navigator::ButtonRect(NavButton kind) const {
    for (size_t i = 0; i < buttons_.size(); ++i)
        if (buttons_[i].kind == kind) return RectAt(i);
    return RECT{};
}

// Equally wide buttons over the whole bar.
RECT Navigator::RectAt(size_t index) const {
    RECT rc{};
    GetClientRect(hwnd(), &rc);
    const int n = static_cast<int>(buttons_.size()), i = static_cast<int>(index);
    return RECT{rc.right * i / n, 0, rc.right * (i + 1) / n, rc.bottom};
}

int Navigator::HitTest(LPARAM point) const {
    const int x = GET_X_LPARAM(point), y = GET_Y_LPARAM(point);
    for (size_t i = 0; i < buttons_.size(); ++i) {
        const RECT r = RectAt(i);
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return static_cast<int>(i);
    }
    return -1;
}

void Navigator::InvalidateButton(int index) {
    if (index < 0 || index >= static_cast<int>(buttons_.size())) return;
    const RECT r = RectAt(static_cast<size_t>(index));
    InvalidateRect(hwnd(), &r, FALSE);
}

void Navigator::SetDown(bool down) {
    if (down_ == down) return;
    down_ = down;
    InvalidateButton(pressed_);
}

void Navigator::LetUp() {
    SetDown(false);
    pressed_ = -1;
}

// The action comes last: it may open a message box or close the bar's window.
void Navigator::ClickAt(int index) {
    if (index < 0 || index >= static_cast<int>(buttons_.size())) return;
    InvalidateButton(focused_);
    focused_ = index;
    InvalidateButton(focused_);
    if (Click) Click(buttons_[static_cast<size_t>(index)].kind);
}

void Navigator::MoveFocus(WPARAM key) {
    const int last = static_cast<int>(buttons_.size()) - 1;
    if (last < 0 || pressed_ >= 0) return;
    int to = focused_;
    if (key == VK_LEFT) to = std::max(0, focused_ - 1);
    if (key == VK_RIGHT) to = std::min(last, focused_ + 1);
    if (key == VK_HOME) to = 0;
    if (key == VK_END) to = last;
    if (to == focused_) return;
    InvalidateButton(focused_);
    focused_ = to;
    InvalidateButton(focused_);
}

void Navigator::Paint(HDC dc, const RECT& area) {
    for (size_t i = 0; i < buttons_.size(); ++i) {
        const RECT r = RectAt(i);
        if (r.left < area.right && area.left < r.right && r.top < area.bottom && area.top < r.bottom) DrawButton(dc, i);
    }
}

void Navigator::DrawButton(HDC dc, size_t index) const {
    RECT rc = RectAt(index);
    const bool pressed = static_cast<int>(index) == pressed_ && down_;
    const bool disabled = !IsWindowEnabled(hwnd());
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &rc, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

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
    if (static_cast<int>(index) == focused_ && GetFocus() == hwnd()) {
        RECT f = rc;
        InflateRect(&f, -3, -3);
        DrawFocusRect(dc, &f);
    }
}

LRESULT Navigator::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND:
            return 1;  // the buttons cover the bar
        case WM_PAINT: {
            PaintDC dc(hwnd());
            Paint(dc.get(), dc.rect());
            return 0;
        }
        case WM_SIZE:
            PlaceHints();
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            SetFocus(hwnd());  // an open editor hands its text over first
            const int hit = HitTest(lp);
            if (hit < 0) return 0;
            SetCapture(hwnd());
            pressed_ = hit;
            down_ = false;
            SetDown(true);
            return 0;
        }
        case WM_MOUSEMOVE:
            if (pressed_ >= 0 && GetCapture() == hwnd()) SetDown(HitTest(lp) == pressed_);
            return 0;
        case WM_LBUTTONUP: {
            if (pressed_ < 0 || GetCapture() != hwnd()) return 0;
            const int index = pressed_;
            const bool inside = HitTest(lp) == index;
            ReleaseCapture();  // WM_CAPTURECHANGED lets the button up
            if (inside) ClickAt(index);
            return 0;
        }
        case WM_CAPTURECHANGED:
            LetUp();
            return 0;
        case WM_GETDLGCODE: {
            // The arrows go from button to button; Enter presses the one
            // with the focus, as on a focused push button.
            const auto* m = reinterpret_cast<const MSG*>(lp);
            const bool enter = m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN;
            return DLGC_WANTARROWS | (enter ? DLGC_WANTMESSAGE : 0);
        }
        case WM_KEYDOWN:
            // The space bar presses the focused button, as on a push button.
            if (wp == VK_SPACE && focused_ >= 0 && GetCapture() != hwnd()) {
                pressed_ = focused_;
                SetDown(true);
            } else if (wp == VK_RETURN && focused_ >= 0 && pressed_ < 0) {
                ClickAt(focused_);
            } else if (wp == VK_LEFT || wp == VK_RIGHT || wp == VK_HOME || wp == VK_END) {
                MoveFocus(wp);
            }
            return 0;
        case WM_KEYUP:
            if (wp == VK_SPACE && pressed_ >= 0 && GetCapture() != hwnd()) {
                const int index = pressed_;
                LetUp();
                ClickAt(index);
            }
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            if (msg == WM_KILLFOCUS && GetCapture() != hwnd()) LetUp();
            // Reached by the keyboard: the first button shows the focus.
            if (msg == WM_SETFOCUS && focused_ < 0 && !buttons_.empty()) focused_ = 0;
            InvalidateButton(focused_);
            return 0;
        case WM_ENABLE:
            InvalidateRect(hwnd(), nullptr, FALSE);
            return 0;
        default:
            return Default(msg, wp, lp);
    }
}

}  // namespace qv::win
