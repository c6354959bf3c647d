#include "actions/Countdown.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "win/Window.h"

namespace qv::actions {

namespace {

constexpr char kCaption[] = "Countdown herunterfahren";
constexpr COLORREF kRed = RGB(255, 0, 0);

// The windows of this thread that take input now, disabled for the lifetime
// of the object and enabled again after it.
class ThreadWindowsDisabled {
public:
    explicit ThreadWindowsDisabled(bool active) {
        if (!active) return;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND w, LPARAM lp) __attribute__((stdcall)) -> BOOL {
                if (IsWindowEnabled(w)) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&windows_));
        for (HWND w : windows_) EnableWindow(w, FALSE);
    }
    ~ThreadWindowsDisabled() {
        for (HWND w : windows_)
            if (IsWindow(w)) EnableWindow(w, TRUE);
    }
    ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
    ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;

private:
    std::vector<HWND> windows_;
};

}  // namespace

TfrmCountdown::TfrmCountdown(CountdownOptions options) : options_(std::move(options)) {}

INT_PTR TfrmCountdown::ShowModal() {
    // The form and its controls are laid out in pixels by FormCreate.
    const std::vector<WORD> tmpl = win::EmptyDialogTemplate(
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND,
        WS_EX_TOPMOST | WS_EX_DLGMODALFRAME);
    INT_PTR r = -1;
    {
        ThreadWindowsDisabled disabled(options_.disableProgramWindows);
        r = RunModal(tmpl, nullptr);
    }
    Label1_ = Label2_ = Button1_ = nullptr;
    return r;
}

bool TfrmCountdown::OnInit() {
    FormCreate();
    if (options_.onCreated) options_.onCreated(hwnd());
    return false;  // focus set in FormCreate
}

bool TfrmCountdown::OnCommand(int id, int code, HWND control) {
    if (id == kButton1Id && code == BN_CLICKED) {
        Button1Click();
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

INT_PTR TfrmCountdown::OnMessage(UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
        case WM_TIMER:
            if (wp != kTimer1Id) return FALSE;
            Timer1Timer();
            return TRUE;
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, kRed);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_DESTROY:
            KillTimer(hwnd(), kTimer1Id);
            return FALSE;
        default:
            return FALSE;
    }
}

void TfrmCountdown::FormCreate() {
    dpi_ = win::ScreenDpi();
    auto px = [this](int v) { return win::Scale(v, dpi_); };

    LOGFONTA lf{};
    lf.lfHeight = -px(16);  // character height 16
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, "Arial", LF_FACESIZE);
    font_.reset(CreateFontIndirectA(&lf));

    SetWindowTextA(hwnd(), kCaption);
    const int w = px(310), h = px(153);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    SetWindowPos(hwnd(), HWND_TOPMOST, x, y, w, h, SWP_NOACTIVATE);

    HINSTANCE inst = GetModuleHandleA(nullptr);
    auto child = [&](const char* cls, DWORD style, int id, int cx, int cy, int cw, int ch) {
        HWND c = CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, px(cx), px(cy), px(cw),
                                 px(ch), hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 inst, nullptr);
        if (!c) throw std::runtime_error("Countdown: control could not be created");
        SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        return c;
    };
    Label1_ = child("STATIC", SS_LEFT | SS_NOPREFIX, kLabel1Id, 24, 8, 0, 0);
    Label2_ = child("STATIC", SS_LEFT | SS_NOPREFIX, kLabel2Id, 96, 40, 0, 0);
    Button1_ = child("BUTTON", BS_PUSHBUTTON | WS_TABSTOP, kButton1Id, 72, 64, 169, 49);
    SetWindowTextA(Button1_, "Abbrechen");
    SetLabelText(Label1_, "Computer wird heruntergefahren");
    SetLabelText(Label2_, "in 10 Sekunden");
    SetFocus(Button1_);

    SecondsLeft_ = 10;
    if (!SetTimer(hwnd(), kTimer1Id, options_.timerIntervalMs, nullptr))
        throw std::runtime_error("Countdown: timer could not be started");
}

void TfrmCountdown::Timer1Timer() {
    if (Ended()) return;  // events still queued after the result was set
    if (SecondsLeft_ > 0)
        --SecondsLeft_;
    else
        SetModalResult(kModalOk);
    SetLabelText(Label2_, "In " + std::to_string(SecondsLeft_) + " Sekunden");
}

void TfrmCountdown::Button1Click() { SetModalResult(kModalCancel); }

void TfrmCountdown::SetModalResult(INT_PTR result) {
    if (Ended()) return;
    KillTimer(hwnd(), kTimer1Id);
    End(result);
}

// Sets a label's text and sizes the label to it, like an auto-sizing label.
void TfrmCountdown::SetLabelText(HWND label, const std::string& text) {
    SetWindowTextA(label, text.c_str());
    SIZE size{};
    {
        win::WindowDC dc(label);
        win::SelectGuard sel(dc.get(), font_.get());
        GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    }
    SetWindowPos(label, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(label, nullptr, TRUE);
}

bool ConfirmShutdownCountdown(const CountdownOptions& options) {
    TfrmCountdown form(options);
    return form.ShowModal() == TfrmCountdown::kModalOk;
}

}  // namespace qv::actions
