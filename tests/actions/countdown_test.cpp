// The countdown dialog, driven by messages: expiry, the button, the title bar's
// close box, and its looks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/Countdown.h"

using namespace qv::actions;

namespace {

constexpr UINT_PTR kDriverId = 4242;
constexpr UINT kNever = 0x7ffffff0;  // Timer1 then never fires by itself

std::string TextOf(HWND h) {
    char buf[256] = {};
    GetWindowTextA(h, buf, sizeof(buf));
    return buf;
}

// Drives Timer1 by hand: on each driver tick records Label2's text and sends
// one Timer1 event; after `limit` events (or when an action is due) stops.
struct Driver {
    std::vector<std::string> label2;
    int events = 0;
    int limit = 11;
    int cancelAfter = -1;  // click the button after this many events
    bool closeByTitleBar = false;
    static inline Driver* current = nullptr;

    static void CALLBACK Tick(HWND dlg, UINT, UINT_PTR, DWORD) {
        Driver& d = *current;
        HWND label2 = GetDlgItem(dlg, TfrmCountdown::kLabel2Id);
        d.label2.push_back(TextOf(label2));
        if (d.events == d.cancelAfter) {
            KillTimer(dlg, kDriverId);
            if (d.closeByTitleBar)
                PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
            else
                PostMessageA(GetDlgItem(dlg, TfrmCountdown::kButton1Id), BM_CLICK, 0, 0);
            return;
        }
        if (d.events >= d.limit) {
            // It should have closed by now: end it as cancelled, which fails the test.
            KillTimer(dlg, kDriverId);
            PostMessageA(dlg, WM_CLOSE, 0, 0);
            return;
        }
        ++d.events;
        SendMessageA(dlg, WM_TIMER, TfrmCountdown::kTimer1Id, 0);
    }

    CountdownOptions Options() {
        current = this;
        CountdownOptions o;
        o.timerIntervalMs = kNever;
        o.onCreated = [](HWND dlg) { SetTimer(dlg, kDriverId, 5, &Driver::Tick); };
        return o;
    }
};

}  // namespace

TEST(Countdown, CountsFromNineToZeroAndEndsOKAtTheEleventhEvent) {
    Driver d;
    d.limit = 12;
    TfrmCountdown form(d.Options());
    EXPECT_EQ(form.ShowModal(), TfrmCountdown::kModalOk);
    const std::vector<std::string> expected = {
        "in 10 Sekunden", "In 9 Sekunden", "In 8 Sekunden", "In 7 Sekunden",
        "In 6 Sekunden",  "In 5 Sekunden", "In 4 Sekunden", "In 3 Sekunden",
        "In 2 Sekunden",  "In 1 Sekunden", "In 0 Sekunden",
    };
    // The texts seen before each event; the eleventh event ended the dialog.
    EXPECT_EQ(d.label2, expected);
    EXPECT_EQ(d.events, 11);
    EXPECT_EQ(form.SecondsLeft(), 0);
}

TEST(Countdown, RunsOutByItsOwnTimer) {
    CountdownOptions o;
    o.timerIntervalMs = 10;
    EXPECT_TRUE(ConfirmShutdownCountdown(o));
}

TEST(Countdown, ButtonAndTitleBarCancelAtAnyMoment) {
    for (int after : {0, 5, 10}) {
        for (bool titleBar : {false, true}) {
            Driver d;
            d.cancelAfter = after;
            d.closeByTitleBar = titleBar;
            TfrmCountdown form(d.Options());
            EXPECT_EQ(form.ShowModal(), TfrmCountdown::kModalCancel) << after << titleBar;
            EXPECT_EQ(form.SecondsLeft(), 10 - after);
        }
    }
    Driver d;
    d.cancelAfter = 3;
    EXPECT_FALSE(ConfirmShutdownCountdown(d.Options()));
}

TEST(Countdown, LooksAndPlacement) {
    struct Seen {
        std::string caption, label1, label2, button;
        LONG_PTR exStyle = 0;
        RECT rect{};
        LOGFONTA labelFont{}, buttonFont{};
        COLORREF labelColour = 0;
        bool mainEnabled = true;
    } seen;
    HWND main = CreateWindowExA(0, "STATIC", "main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_TRUE(main);
    static Seen* out;
    static HWND mainWnd;
    out = &seen;
    mainWnd = main;
    CountdownOptions o;
    o.timerIntervalMs = kNever;
    o.disableProgramWindows = true;
    o.onCreated = [](HWND dlg) {
        Seen& s = *out;
        s.caption = TextOf(dlg);
        s.label1 = TextOf(GetDlgItem(dlg, TfrmCountdown::kLabel1Id));
        s.label2 = TextOf(GetDlgItem(dlg, TfrmCountdown::kLabel2Id));
        s.button = TextOf(GetDlgItem(dlg, TfrmCountdown::kButton1Id));
        s.exStyle = GetWindowLongPtrA(dlg, GWL_EXSTYLE);
        GetWindowRect(dlg, &s.rect);
        auto font = [](HWND h, LOGFONTA& lf) {
            HFONT f = reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0));
            GetObjectA(f, sizeof(lf), &lf);
        };
        font(GetDlgItem(dlg, TfrmCountdown::kLabel1Id), s.labelFont);
        font(GetDlgItem(dlg, TfrmCountdown::kButton1Id), s.buttonFont);
        HDC dc = CreateCompatibleDC(nullptr);
        SendMessageA(dlg, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(GetDlgItem(dlg, TfrmCountdown::kLabel2Id)));
        s.labelColour = GetTextColor(dc);
        DeleteDC(dc);
        s.mainEnabled = IsWindowEnabled(mainWnd);
        PostMessageA(GetDlgItem(dlg, TfrmCountdown::kButton1Id), BM_CLICK, 0, 0);
    };
    EXPECT_FALSE(ConfirmShutdownCountdown(o));

    EXPECT_EQ(seen.caption, "Countdown herunterfahren");
    EXPECT_EQ(seen.label1, "Computer wird heruntergefahren");
    EXPECT_EQ(seen.label2, "in 10 Sekunden");
    EXPECT_EQ(seen.button, "Abbrechen");
    EXPECT_TRUE(seen.exStyle & WS_EX_TOPMOST);

    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const int w = MulDiv(310, dpi, 96), h = MulDiv(153, dpi, 96);
    EXPECT_EQ(seen.rect.right - seen.rect.left, w);
    EXPECT_EQ(seen.rect.bottom - seen.rect.top, h);
    EXPECT_EQ(seen.rect.left, (GetSystemMetrics(SM_CXSCREEN) - w) / 2);
    EXPECT_EQ(seen.rect.top, (GetSystemMetrics(SM_CYSCREEN) - h) / 2);

    for (const LOGFONTA* lf : {&seen.labelFont, &seen.buttonFont}) {
        EXPECT_STREQ(lf->lfFaceName, "Arial");
        EXPECT_EQ(lf->lfWeight, FW_BOLD);
        EXPECT_EQ(lf->lfHeight, -MulDiv(16, dpi, 96));
    }
    EXPECT_EQ(seen.labelColour, RGB(255, 0, 0));
    EXPECT_FALSE(seen.mainEnabled);
    EXPECT_TRUE(IsWindowEnabled(main));  // given back afterwards
    DestroyWindow(main);
}
