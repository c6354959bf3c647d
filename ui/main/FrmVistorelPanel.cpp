// The main window's bottom panel: its controls, their layout and handlers, the
// "&Aktiv" button and the error picture.
#include <algorithm>
#include <memory>
#include <vector>

#include "actions/StartSelectedJob.h"
#include "ui/main/FrmVistorel.h"
#include "ui/main/FrmVistorelPorts.h"
#include "ui/main/Images.h"
#include "ui/main/VistorelIds.h"
#include "win/CommonControls.h"
#include "win/Desktop.h"

namespace qv::ui {

namespace {

struct ControlSpec {
    int id;
    const char* cls;
    const char* text;
    DWORD style;
    int x, y, w, h;  // within Panel1, at 96 dpi
};

// In focus order: the first nine take the keyboard focus, the last three none.
const ControlSpec kPanelControls[] = {
    {ids::btnStarten, "BUTTON", "&Starten", WS_TABSTOP | BS_PUSHBUTTON, 8, 3, 97, 20},
    {ids::Button1, "BUTTON", "Startzeit &berechnen", WS_TABSTOP | BS_PUSHBUTTON, 8, 27, 97, 20},
    {ids::Button2, "BUTTON", "&LogDB ansehen", WS_TABSTOP | BS_PUSHBUTTON, 120, 3, 97, 20},
    {ids::chkminimized, "BUTTON", "&minimiert starten", WS_TABSTOP | BS_AUTOCHECKBOX, 258, 2, 97, 17},
    {ids::chkAktiviert, "BUTTON", "A&ktiviert starten", WS_TABSTOP | BS_AUTOCHECKBOX, 258, 18, 97, 17},
    {ids::chkAutostart, "BUTTON", "A&utostart", WS_TABSTOP | BS_AUTOCHECKBOX, 258, 34, 97, 17},
    {ids::edMail, "EDIT", "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 432, 27, 121, 21},
    {ids::chkMail, "BUTTON", "Mail nur beim &ersten Fehler", WS_TABSTOP | BS_AUTOCHECKBOX, 392, 2, 153, 17},
    {ids::btnHelp, "BUTTON", "Hilfe", WS_TABSTOP | BS_PUSHBUTTON, 120, 27, 97, 20},
    {ids::Label1, "STATIC", "E-Mail :", SS_LEFT, 392, 33, 38, 13},
    {ids::Image1, "STATIC", "", SS_OWNERDRAW | SS_NOTIFY, 568, 10, 32, 32},
    {ids::btnAktiv, "BUTTON", "&Aktiv", BS_OWNERDRAW, 624, 2, 75, 47},
};

// A control's place as designed, scaled to the screen.
RECT DesignedRect(const ControlSpec& c, int dpi) {
    const bool fixed = c.id == ids::Image1;  // the picture keeps its 32 x 32
    const int x = win::Scale(c.x, dpi), y = win::Scale(c.y, dpi);
    return RECT{x, y, x + (fixed ? c.w : win::Scale(c.w, dpi)), y + (fixed ? c.h : win::Scale(c.h, dpi))};
}

// The bottom panel: a raised strip whose controls report to the main window.
class Panel : public win::Window {
public:
    HWND Create(HWND parent, const RECT& r) {
        return CreateWin("QvPanel", WS_EX_CONTROLPARENT, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, "", r.left, r.top,
                         r.right - r.left, r.bottom - r.top, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::kPanel1)));
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
            case WM_COMMAND:
            case WM_DRAWITEM:
            case WM_NOTIFY:
                return SendMessageA(GetParent(hwnd()), msg, wp, lp);
            case WM_PAINT: {
                win::PaintDC dc(hwnd());
                RECT rc{};
                GetClientRect(hwnd(), &rc);
                DrawEdge(dc.get(), &rc, BDR_RAISEDINNER, BF_RECT);
                return 0;
            }
            default:
                return Default(msg, wp, lp);
        }
    }
};

}  // namespace

// Every control is made at its final place with its font: nothing is moved
// or redrawn on the way to the first paint.
void TfrmVistorel::CreatePanel(const RECT& bounds) {
    auto panel = std::make_unique<Panel>();
    panel->Create(hwnd(), bounds);
    Panel1_ = std::move(panel);
    const std::vector<RECT> rects = PanelRects(bounds.right - bounds.left);
    HINSTANCE inst = GetModuleHandleA(nullptr);
    for (size_t i = 0; i < rects.size(); ++i) {
        const ControlSpec& c = kPanelControls[i];
        const RECT& r = rects[i];
        HWND w = CreateWindowExA(0, c.cls, c.text, WS_CHILD | WS_VISIBLE | c.style, r.left, r.top, r.right - r.left,
                                 r.bottom - r.top, Panel1_->hwnd(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), inst, nullptr);
        SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        if (c.id == ids::chkAktiviert) SetWindowContextHelpId(w, 1001);
        if (c.id == ids::edMail) SendMessageA(w, EM_LIMITTEXT, 0, 0);  // as long as the system allows
        if (!win::HasFrame(w)) win::SkipFramePaint(w);
    }
}

void TfrmVistorel::CreateHints() {
    tooltip_ = win::CreateTooltip(hwnd());
    if (!tooltip_) return;
    static const struct {
        int id;
        const char* hint;
    } hints[] = {{ids::chkAutostart, "Autostart l\xf6schen erfordert Administrationsrechte unter NT"},
                 {ids::Image1, "klicken um die Fehleranzeige zu entfernen"}};
    for (const auto& h : hints) {
        TTTOOLINFOA ti{};
        ti.cbSize = TTTOOLINFOA_V1_SIZE;  // common controls before 6 refuse the longer form
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = Panel1_->hwnd();
        ti.uId = reinterpret_cast<UINT_PTR>(Item(h.id));
        ti.lpszText = const_cast<char*>(h.hint);
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    }
    SendMessageA(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(20000, 0));
}

namespace {

// The width of a caption at the font ("&" marks a key).
int TextWidth(HDC dc, const char* text) {
    RECT r{};
    DrawTextA(dc, text, -1, &r, DT_CALCRECT | DT_SINGLELINE);
    return r.right - r.left;
}

// The width a caption needs in its control: the text, beside the check box's
// square or inside the button's edges, with room for the focus rectangle.
int NeededWidth(const ControlSpec& c, int text, int dpi) {
    if (c.id == ids::Label1) return text;
    if ((c.style & BS_TYPEMASK) == BS_AUTOCHECKBOX) return text + win::Scale(13 + 3 + 3, dpi);
    return text + win::Scale(8, dpi);
}

// The right edge a control at r may grow to: the nearest control to its right
// that shares some of its rows, or the panel's edge, less a gap.
int RoomTo(const RECT& r, const std::vector<RECT>& others, int panelWidth, int dpi) {
    int limit = panelWidth;
    for (const RECT& o : others) {
        const bool rowsShared = o.top < r.bottom && r.top < o.bottom;
        if (rowsShared && o.left >= r.right && o.left < limit) limit = o.left;
    }
    return limit - win::Scale(4, dpi);
}

}  // namespace

// Designed places scaled to the screen; a caption that does not fit its
// designed width at the actual font grows to fit where the panel has room,
// and Label1 takes its text's width, as labels do.
std::vector<RECT> TfrmVistorel::PanelRects(int panelWidth) const {
    const int dpi = env_.dpi;
    win::WindowDC screen(nullptr);
    win::SelectGuard font(screen.get(), font_.get());
    std::vector<RECT> rects;
    for (const auto& c : kPanelControls) rects.push_back(DesignedRect(c, dpi));
    for (size_t i = 0; i < rects.size(); ++i) {
        const ControlSpec& c = kPanelControls[i];
        if (c.id == ids::Image1 || c.id == ids::btnAktiv || c.id == ids::edMail) continue;
        RECT& r = rects[i];
        const int needed = NeededWidth(c, TextWidth(screen.get(), c.text), dpi);
        if (c.id == ids::Label1) {
            r.right = r.left + needed;
        } else if (r.left + needed > r.right) {
            std::vector<RECT> others(rects);
            others.erase(others.begin() + static_cast<std::ptrdiff_t>(i));
            r.right = std::max<LONG>(r.right, std::min<LONG>(r.left + needed, RoomTo(r, others, panelWidth, dpi)));
        }
    }
    return rects;
}

void TfrmVistorel::LayoutPanel() {
    RECT panel{};
    GetClientRect(Panel1_->hwnd(), &panel);
    const std::vector<RECT> rects = PanelRects(panel.right);
    for (size_t i = 0; i < rects.size(); ++i) {
        const RECT& r = rects[i];
        HWND control = Item(kPanelControls[i].id);
        RECT now{};
        GetWindowRect(control, &now);
        MapWindowPoints(nullptr, Panel1_->hwnd(), reinterpret_cast<POINT*>(&now), 2);
        if (!win::SameRect(now, r)) MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
}

HWND TfrmVistorel::Item(int id) const { return Panel1_ ? GetDlgItem(Panel1_->hwnd(), id) : nullptr; }

bool TfrmVistorel::Checked(int id) const {
    return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TfrmVistorel::SetChecked(int id, bool on) {
    if (Checked(id) == on) return;
    SendMessageA(Item(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!settingFromCode_) OnCommand(id, BN_CLICKED);
}

// Whatever its length: the settings file keeps an address of any length.
std::string TfrmVistorel::MailAddress() const {
    HWND edit = Item(ids::edMail);
    std::string text(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(edit, &text[0], static_cast<int>(text.size()))));
    return text;
}

// --- Settings shown at start-up -------------------------------------------

void TfrmVistorel::SetMinimized(bool checked) {
    settingFromCode_ = true;
    SetChecked(ids::chkminimized, checked);
    settingFromCode_ = false;
}
void TfrmVistorel::SetAktiviert(bool checked) {
    settingFromCode_ = true;
    SetChecked(ids::chkAktiviert, checked);
    settingFromCode_ = false;
}
void TfrmVistorel::SetMail(bool checked) {
    settingFromCode_ = true;
    SetChecked(ids::chkMail, checked);
    settingFromCode_ = false;
}
void TfrmVistorel::SetMailAddress(const std::string& text) {
    settingFromCode_ = true;
    SetWindowTextA(Item(ids::edMail), text.c_str());
    settingFromCode_ = false;
}

// --- Handlers -----------------------------------------------------------------

void TfrmVistorel::ShowAutostart(bool on) {
    settingFromCode_ = true;
    SetChecked(ids::chkAutostart, on);
    settingFromCode_ = false;
}

// A change the system refuses is said, and the box shows again what the
// registry really holds.
void TfrmVistorel::chkAutostartClick() {
    if (!env_.writeAutostart) return;
    auto showRealState = [this] {
        ShowAutostart(env_.readAutostart && !env_.readAutostart().empty());
    };
    bool changed = false;
    try {
        changed = env_.writeAutostart(env_.exePath, Checked(ids::chkAutostart));
    } catch (...) {
        showRealState();
        throw;
    }
    if (changed) return;
    showRealState();
    ShowPlain("Autostart kann nicht ge\xe4ndert werden: Der Eintrag unter HKEY_LOCAL_MACHINE\\"
              "Software\\Microsoft\\Windows\\CurrentVersion\\Run darf nicht geschrieben werden "
              "(Administrationsrechte erforderlich).");
}

void TfrmVistorel::Image1Click() {
    errorIndicator_ = false;
    ShowWindow(Item(ids::Image1), SW_HIDE);
}

void TfrmVistorel::LightErrorIndicator() {
    errorIndicator_ = true;
    image1Picture_ = true;
    HWND image = Item(ids::Image1);
    ShowWindow(image, SW_SHOW);
    InvalidateRect(image, nullptr, TRUE);
}

void TfrmVistorel::btnStartenClick() {
    JobData& d = *data_;
    if (!d.tblTimer.active() || d.tblTimer.RecordCount() == 0 || !d.tblTimer2.active()) return;
    engine::Cursor& c2 = d.tblTimer2;
    auto result = actions::StartSelectedJob(d.tblTimer.RowId(), actions::CursorOps(c2),
                                            [&] { return ports_->RunJobAction(d.tblTimer2Fields.Read()); });
    if (result && *result != "OK") ShowPlain(*result);
}

void TfrmVistorel::Button2Click() {
    if (!frmLog_) frmLog_ = std::make_unique<TfrmLog>(hwnd(), data_->tblLog, env_.messageBox, env_.dpi);
    frmLog_->ShowAndRaise();
}

void TfrmVistorel::TimerTimer() {
    BuildRest();  // the tick blinks the tray icon and may show its balloon
    scheduler_->Tick();
}
void TfrmVistorel::btnAktivClick() { scheduler_->Toggle(); }
void TfrmVistorel::Button1Click() { scheduler_->RecalculateCurrentStart(); }

// --- The scheduler's looks ------------------------------------------------------

void TfrmVistorel::SetTimerEnabled(bool on) {
    if (on)
        SetTimer(hwnd(), kTimerId, kTimerInterval, nullptr);
    else
        KillTimer(hwnd(), kTimerId);
    timerOn_ = on;
}

// The blink calls this at every tick: only what changes is sent and drawn.
void TfrmVistorel::SetAktiv(const std::string& caption, bool down, bool flat) {
    HWND b = Item(ids::btnAktiv);
    const bool newCaption = caption != AktivCaption();
    if (!newCaption && down == aktivDown_ && flat == aktivFlat_) return;
    if (newCaption) SetWindowTextA(b, caption.c_str());
    aktivDown_ = down;
    aktivFlat_ = flat;
    InvalidateRect(b, nullptr, TRUE);
}

std::string TfrmVistorel::AktivCaption() const {
    char buf[64] = {};
    GetWindowTextA(Item(ids::btnAktiv), buf, sizeof buf);
    return buf;
}

void TfrmVistorel::DrawAktiv(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT rc = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    // Down: a lighter, sunken face; flat: no bevel around a plain face.
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    if (aktivDown_ && !aktivFlat_) face = RGB(250, 250, 235);
    win::Brush faceBrush(CreateSolidBrush(face));
    FillRect(dc, &rc, faceBrush.get());
    if (aktivDown_ || pressed)
        DrawEdge(dc, &rc, aktivFlat_ ? BDR_SUNKENOUTER : EDGE_SUNKEN, BF_RECT);
    else if (!aktivFlat_)
        DrawEdge(dc, &rc, EDGE_RAISED, BF_RECT);
    char text[64] = {};
    GetWindowTextA(item.hwndItem, text, sizeof text);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT tr = rc;
    if (aktivDown_ || pressed) OffsetRect(&tr, 1, 1);
    DrawTextA(dc, text, -1, &tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (item.itemState & ODS_FOCUS) {
        InflateRect(&rc, -4, -4);
        DrawFocusRect(dc, &rc);
    }
}

void TfrmVistorel::DrawImage1(const DRAWITEMSTRUCT& item) {
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    if (image1Picture_) DrawProgramImage(item.hDC, kImageError, item.rcItem.left, item.rcItem.top);
}

}  // namespace qv::ui
