#include "actions/Countdown.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "win/Window.h"

namespace qv::actions {

namespace {

constexpr char kCaption[] = "Countdown herunterfahren";
constexpr COLORREF kRed = RGB(255, 0, 0);

// An empty dialog template: the form and its controls are laid out in pixels
// when the dialog is initialised.
std::vector<WORD> EmptyDialogTemplate() {
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);  // + menu, class, title
    auto* dt = reinterpret_cast<DLGTEMPLATE*>(t.data());
    dt->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;
    dt->dwExtendedStyle = WS_EX_TOPMOST | WS_EX_DLGMODALFRAME;
    dt->cdit = 0;
    return t;
}

}  // namespace

TfrmCountdown::TfrmCountdown(CountdownOptions options) : options_(std::move(options)) {}

INT_PTR TfrmCountdown::ShowModal() {
    std::vector<WORD> tmpl = EmptyDialogTemplate();
    ended_ = false;
    const bool disable = options_.disableWhileShown && IsWindowEnabled(options_.disableWhileShown);
    if (disable) EnableWindow(options_.disableWhileShown, FALSE);
    INT_PTR r = DialogBoxIndirectParamA(GetModuleHandleA(nullptr),
                                        reinterpret_cast<DLGTEMPLATE*>(tmpl.data()), nullptr,
                                        &TfrmCountdown::DialogProc, reinterpret_cast<LPARAM>(this));
    if (disable) EnableWindow(options_.disableWhileShown, TRUE);
    hwnd_ = Label1_ = Label2_ = Button1_ = nullptr;
    return r;
}

INT_PTR CALLBACK TfrmCountdown::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    TfrmCountdown* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<TfrmCountdown*>(lp);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, DWLP_USER, lp);
    } else {
        self = reinterpret_cast<TfrmCountdown*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;
    INT_PTR result = FALSE;
    const bool ok = win::Guarded(hwnd, [&] { result = self->HandleMessage(msg, wp, lp); });
    // A dialog that failed to build must not stay on screen counting.
    if (!ok && msg == WM_INITDIALOG) self->SetModalResult(kModalCancel);
    return result;
}

INT_PTR TfrmCountdown::HandleMessage(UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            FormCreate();
            if (options_.onCreated) options_.onCreated(hwnd_);
            return FALSE;  // focus set in FormCreate
        case WM_TIMER:
            if (wp == kTimer1Id) {
                Timer1Timer();
                return TRUE;
            }
            return FALSE;
        case WM_COMMAND:
            if (LOWORD(wp) == kButton1Id && HIWORD(wp) == BN_CLICKED) {
                Button1Click();
                return TRUE;
            }
            if (LOWORD(wp) == IDCANCEL) {  // Escape
                SetModalResult(kModalCancel);
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:  // the title bar's close box
            SetModalResult(kModalCancel);
            return TRUE;
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, kRed);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_DESTROY:
            KillTimer(hwnd_, kTimer1Id);
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

    SetWindowTextA(hwnd_, kCaption);
    const int w = px(310), h = px(153);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    SetWindowPos(hwnd_, HWND_TOPMOST, x, y, w, h, SWP_NOACTIVATE);

    HINSTANCE inst = GetModuleHandleA(nullptr);
    auto child = [&](const char* cls, DWORD style, int id, int cx, int cy, int cw, int ch) {
        HWND c = CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, px(cx), px(cy), px(cw),
                                 px(ch), hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
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
    if (!SetTimer(hwnd_, kTimer1Id, options_.timerIntervalMs, nullptr))
        throw std::runtime_error("Countdown: timer could not be started");
}

void TfrmCountdown::Timer1Timer() {
    if (ended_) return;  // events still queued after the result was set
    if (SecondsLeft_ > 0)
        --SecondsLeft_;
    else
        SetModalResult(kModalOk);
    SetLabelText(Label2_, "In " + std::to_string(SecondsLeft_) + " Sekunden");
}

void TfrmCountdown::Button1Click() { SetModalResult(kModalCancel); }

void TfrmCountdown::SetModalResult(INT_PTR result) {
    if (ended_) return;
    ended_ = true;
    KillTimer(hwnd_, kTimer1Id);
    EndDialog(hwnd_, result);
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
