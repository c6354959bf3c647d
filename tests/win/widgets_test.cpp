// The Win32 widgets under Wine without a notification area (null driver): tray icon,
// navigator, message box, modal dialog, and the window base's class registration.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "win/Dialog.h"
#include "win/MessageBox.h"
#include "tests/win/NavigatorClick.h"
#include "win/Navigator.h"
#include "win/TrayIcon.h"
#include "win/Window.h"

namespace qv {
namespace {

using win::TrayIcon;

HICON StockIcon() { return LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)); }

TEST(TrayIcon, TipsUpTo63CharactersAreTakenLongerOnesRefused) {
    TrayIcon tray;
    EXPECT_TRUE(tray.SetTip("Vistorel"));
    EXPECT_EQ(tray.tip(), "Vistorel");
    EXPECT_TRUE(tray.SetTip(std::string(63, 't')));
    EXPECT_EQ(tray.tip(), std::string(63, 't'));
    EXPECT_FALSE(tray.SetTip(std::string(64, 'u')));
    EXPECT_EQ(tray.tip(), std::string(63, 't'));
}

TEST(TrayIcon, CallbackMouseMessagesRaiseTheirEvents) {
    TrayIcon tray;
    int doubles = 0, rights = 0, balloons = 0;
    tray.DoubleClick = [&] { ++doubles; };
    tray.RightClick = [&] { ++rights; };
    tray.BalloonClick = [&] { ++balloons; };
    tray.Show();
    const UINT cb = TrayIcon::kCallbackMessage;
    EXPECT_EQ(cb, 0x0464u);
    const UINT events[] = {WM_LBUTTONDOWN, WM_LBUTTONUP,     WM_RBUTTONDOWN,  WM_MOUSEMOVE,         WM_LBUTTONDBLCLK,
                           WM_RBUTTONUP,   WM_LBUTTONDBLCLK, NIN_BALLOONSHOW, NIN_BALLOONUSERCLICK};
    for (UINT event : events) SendMessageA(tray.hwnd(), cb, 1, event);
    EXPECT_EQ(doubles, 2);
    EXPECT_EQ(rights, 1);
    EXPECT_EQ(balloons, 1);
}

// A balloon goes to the shell only where it shows them, and only a balloon
// uses the longer notification data: a shell without balloons (Windows 95,
// NT 4) gets the first form alone.
TEST(TrayIcon, BalloonsOnlyWhereTheShellShowsThemInTheLongerData) {
    struct Sent {
        DWORD action, size;
        UINT flags;
        std::string title, text;
        DWORD icon;
    };
    for (bool shellBalloons : {false, true}) {
        SCOPED_TRACE(shellBalloons);
        std::vector<Sent> sent;
        win::TrayShell shell{[&](DWORD action, NOTIFYICONDATAA* d) {
                                 sent.push_back({action, d->cbSize, d->uFlags, d->szInfoTitle, d->szInfo,
                                                 d->dwInfoFlags});
                                 return TRUE;
                             },
                             [&] { return shellBalloons; }};
        TrayIcon tray(shell);
        EXPECT_FALSE(tray.ShowBalloon("Quarvelin", "vor dem Symbol"));
        tray.SetIcons({StockIcon(), StockIcon()});
        ASSERT_TRUE(tray.Show());
        EXPECT_EQ(tray.ShowBalloon("Quarvelin", std::string(300, 'f')), shellBalloons);
        tray.SetIconIndex(1);
        ASSERT_EQ(sent.size(), shellBalloons ? 3u : 2u);
        for (const Sent& s : sent) {
            const bool balloon = s.flags & NIF_INFO;
            EXPECT_EQ(s.size, balloon ? NOTIFYICONDATAA_V2_SIZE : NOTIFYICONDATAA_V1_SIZE);
        }
        if (!shellBalloons) continue;
        EXPECT_EQ(sent[1].action, static_cast<DWORD>(NIM_MODIFY));
        EXPECT_EQ(sent[1].flags, static_cast<UINT>(NIF_INFO));
        EXPECT_EQ(sent[1].title, "Quarvelin");
        EXPECT_EQ(sent[1].text, std::string(255, 'f'));  // cut to what the shell takes
        EXPECT_EQ(sent[1].icon, static_cast<DWORD>(NIIF_ERROR));
    }
}

TEST(TrayIcon, AgreesToASessionEndAndSurvivesItsOutcome) {
    TrayIcon tray;
    tray.SetIcons({StockIcon()});
    tray.Show();
    EXPECT_EQ(SendMessageA(tray.hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
    SendMessageA(tray.hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(tray.visible());
    // Removing the icon again is no error.
    tray.Hide();
    EXPECT_FALSE(tray.visible());
}

// Without a notification area (as here) the icon cannot be shown; minimizing
// must then leave the window on the taskbar so it can be restored.
TEST(TrayIcon, WithoutANotificationAreaMinimizingKeepsTheWindow) {
    TrayIcon tray;
    tray.SetIcons({StockIcon()});
    const bool shown = tray.Show();
    HWND app = CreateWindowExA(0, "STATIC", "app", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(app, SW_SHOWNORMAL);
    int minimized = 0;
    tray.Minimized = [&] { ++minimized; };
    tray.MinimizeToTray(app);
    EXPECT_EQ(minimized, 1);
    EXPECT_EQ(IsWindowVisible(app) != FALSE, !shown);
    TrayIcon::RestoreApp(app);
    EXPECT_TRUE(IsWindowVisible(app));
    EXPECT_FALSE(IsIconic(app));
    DestroyWindow(app);
}

void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(10);
    }
}

// A shell that refuses the icon (an autostart before the notification area
// is ready, a shell that lost it): the icon is tried again by itself and at
// "TaskbarCreated", and while none shows, a window minimized into the tray
// stays on the taskbar; it goes into the tray once the icon is there.
TEST(TrayIcon, RefusedOrLostIconIsTriedAgainAndNoWindowHidesWithoutOne) {
    bool accepts = false;
    int adds = 0;
    win::TrayShell shell{[&](DWORD action, NOTIFYICONDATAA*) {
                             if (action == NIM_ADD) ++adds;
                             return accepts ? TRUE : FALSE;
                         },
                         nullptr};
    TrayIcon tray(shell);
    tray.SetIcons({StockIcon(), StockIcon()});
    HWND app = CreateWindowExA(0, "STATIC", "app", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    ShowWindow(app, SW_SHOWNORMAL);
    EXPECT_FALSE(tray.Show());
    ShowWindow(app, SW_MINIMIZE);
    tray.MinimizeToTray(app);
    EXPECT_TRUE(IsWindowVisible(app));  // on the taskbar: the only way back
    const int first = adds;
    PumpFor(TrayIcon::kFirstRetryMs + 1000);
    EXPECT_EQ(adds, first + 1);  // tried again by itself
    EXPECT_FALSE(tray.visible());

    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    accepts = true;
    SendMessageA(tray.hwnd(), taskbarCreated, 0, 0);
    EXPECT_TRUE(tray.visible());
    EXPECT_FALSE(IsWindowVisible(app));  // minimized: into the tray now

    // The shell lost it without a word: found at the next change of image.
    accepts = false;
    tray.SetIconIndex(1);
    EXPECT_FALSE(tray.visible());
    EXPECT_TRUE(IsWindowVisible(app));
    EXPECT_TRUE(IsIconic(app));
    accepts = true;
    SendMessageA(tray.hwnd(), taskbarCreated, 0, 0);
    EXPECT_TRUE(tray.visible());
    EXPECT_FALSE(IsWindowVisible(app));

    // Restored by the user, the window stays when the shell is made anew.
    TrayIcon::RestoreApp(app);
    SendMessageA(tray.hwnd(), taskbarCreated, 0, 0);
    EXPECT_TRUE(IsWindowVisible(app));
    tray.Hide();
    DestroyWindow(app);
}

// With a notification area (Xvfb with Wine's virtual desktop: the test
// win_tray_with_shell runs this one there); skipped where there is none.
TEST(TrayIconWithShell, IconAndBalloonShowAndTheIconSurvivesACancelledSessionEnd) {
    TrayIcon tray;
    tray.SetIcons({StockIcon()});
    if (!tray.Show()) GTEST_SKIP() << "no notification area";
    EXPECT_TRUE(tray.visible());
    HWND app = CreateWindowExA(0, "STATIC", "app", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(app, SW_SHOWNORMAL);
    tray.MinimizeToTray(app);
    EXPECT_FALSE(IsWindowVisible(app));  // only the icon is left
    TrayIcon::RestoreApp(app);
    EXPECT_TRUE(IsWindowVisible(app));

    // A balloon of the real shell: its window comes up within a few seconds.
    ASSERT_TRUE(tray.ShowBalloon("Quarvelin", "C:\\fehlt.exe\nDatei nicht gefunden"));
    auto balloonWindow = [] {
        HWND found = nullptr;
        EnumWindows(
            [](HWND w, LPARAM lp) __attribute__((stdcall)) -> BOOL {
                char cls[64] = {};
                GetClassNameA(w, cls, sizeof cls);
                if (lstrcmpiA(cls, TOOLTIPS_CLASSA) != 0 || !IsWindowVisible(w) ||
                    !(GetWindowLongA(w, GWL_STYLE) & TTS_BALLOON))
                    return TRUE;
                *reinterpret_cast<HWND*>(lp) = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    };
    HWND balloon = nullptr;
    for (int i = 0; i < 100 && !balloon; ++i) {
        Sleep(100);
        balloon = balloonWindow();
    }
    EXPECT_NE(balloon, nullptr);

    SendMessageA(tray.hwnd(), WM_ENDSESSION, FALSE, 0);
    EXPECT_TRUE(tray.visible());
    // The shell lost the icon (as after a restart of the shell): removing it
    // again goes through without a complaint.
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
    nid.hWnd = tray.hwnd();
    nid.uID = 1;
    EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &nid));
    tray.Hide();
    EXPECT_FALSE(tray.visible());
    DestroyWindow(app);
}

TEST(Navigator, ButtonsReportTheirKindInBarOrderAndAClickNeedsPressAndReleaseOnIt) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 100, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    win::Navigator nav;
    nav.Create(parent, 7,
               {{win::NavButton::First, "Erster Datensatz"},
                {win::NavButton::Delete, "Datensatz l\xf6schen"},
                {win::NavButton::Refresh, "Daten aktualisieren"}});
    nav.SetBounds(0, 0, 300, 25);
    nav.AddHints(20000);
    std::vector<win::NavButton> clicks;
    nav.Click = [&](win::NavButton b) { clicks.push_back(b); };
    for (int i : {2, 0, 1}) qv::testing::ClickNavigatorButton(nav.hwnd(), i, 3);
    EXPECT_EQ(clicks, (std::vector<win::NavButton>{win::NavButton::Refresh, win::NavButton::First,
                                                    win::NavButton::Delete}));
    // The click takes the focus, as a push button's does.
    EXPECT_EQ(GetFocus(), nav.hwnd());

    // Released over another button, or pressed on one and let go elsewhere: no click.
    clicks.clear();
    SendMessageA(nav.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 12));
    SendMessageA(nav.hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 12));
    SendMessageA(nav.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(150, 12));
    SendMessageA(nav.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(250, 12));
    SendMessageA(nav.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(250, 40));
    EXPECT_TRUE(clicks.empty());
    EXPECT_NE(GetCapture(), nav.hwnd());
    // The space bar presses the button clicked last.
    qv::testing::ClickNavigatorButton(nav.hwnd(), 1, 3);
    SendMessageA(nav.hwnd(), WM_KEYDOWN, VK_SPACE, 0);
    SendMessageA(nav.hwnd(), WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(clicks, (std::vector<win::NavButton>{win::NavButton::Delete, win::NavButton::Delete}));

    // The buttons share the bar's width, and follow it.
    EXPECT_EQ(nav.ButtonRect(win::NavButton::Refresh).left, 200);
    EXPECT_EQ(nav.ButtonRect(win::NavButton::Refresh).right, 300);
    nav.SetBounds(0, 0, 150, 25);
    EXPECT_EQ(nav.ButtonRect(win::NavButton::Delete).left, 50);
    const RECT none = nav.ButtonRect(win::NavButton::Post);
    EXPECT_TRUE(IsRectEmpty(&none));
    DestroyWindow(parent);
}

// The box opens inside MessageBoxA's own loop; a timer there reads it and
// presses the cancel button.
struct BoxSeen {
    std::string caption, cancelText, okText;
};
BoxSeen gSeen;

void CALLBACK InspectBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = GetForegroundWindow();
    HWND candidate = FindWindowA("#32770", nullptr);
    if (candidate) box = candidate;
    char text[128] = {};
    GetWindowTextA(box, text, sizeof text);
    gSeen.caption = text;
    GetDlgItemTextA(box, IDCANCEL, text, sizeof text);
    gSeen.cancelText = text;
    GetDlgItemTextA(box, IDOK, text, sizeof text);
    gSeen.okText = text;
    KillTimer(nullptr, id);
    PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
}

TEST(SystemMessageBox, PutsInTheRequestedButtonTexts) {
    win::MessageBoxRequest r;
    r.text = "Datensatz l\xf6schen?";
    r.caption = "Best\xe4tigung";
    r.type = MB_OKCANCEL | MB_ICONQUESTION;
    r.cancelText = "Abbrechen";
    gSeen = {};
    SetTimer(nullptr, 0, 200, InspectBox);
    EXPECT_EQ(win::SystemMessageBox(nullptr, r), IDCANCEL);
    EXPECT_EQ(gSeen.caption, "Best\xe4tigung");
    EXPECT_EQ(gSeen.cancelText, "Abbrechen");
    EXPECT_EQ(gSeen.okText, "OK");
}

// A dialog whose building fails: the error reaches the error box once, and the
// dialog ends cancelled instead of staying on screen half built.
class FailingDialog : public win::Dialog {
public:
    INT_PTR Show() {
        return RunModal(win::EmptyDialogTemplate(WS_POPUP | WS_CAPTION, 0), nullptr);
    }

protected:
    bool OnInit() override { throw std::runtime_error("Steuerelement fehlt"); }
};

void CALLBACK EndStuckDialog(HWND, UINT, UINT_PTR, DWORD) {
    EndDialog(FindWindowA("#32770", nullptr), 99);
}

TEST(Dialog, AnErrorWhileBuildingEndsItCancelled) {
    std::vector<std::string> errors;
    win::SetErrorSink([&](HWND, const std::string& text) { errors.push_back(text); });
    // Still open after two seconds: ended with 99, which fails the test.
    const UINT_PTR guard = SetTimer(nullptr, 0, 2000, EndStuckDialog);
    FailingDialog dialog;
    EXPECT_EQ(dialog.Show(), IDCANCEL);
    KillTimer(nullptr, guard);
    win::SetErrorSink(nullptr);
    EXPECT_EQ(errors, std::vector<std::string>{"Steuerelement fehlt"});
    EXPECT_EQ(dialog.hwnd(), nullptr);
}

class Plain : public win::Window {
public:
    HWND Create(const std::string& className) {
        return CreateWin(className.c_str(), 0, WS_OVERLAPPED, "", 0, 0, 50, 50, nullptr, nullptr);
    }
};

// A class Windows refuses (its name is longer than a class name may be) is an
// error naming the class, not a window that silently never appears; a class
// registered before is used again.
TEST(WindowBase, RefusedClassIsAnErrorAndARegisteredOneIsReused) {
    const std::string tooLong(300, 'Q');
    Plain refused;
    try {
        refused.Create(tooLong);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Fensterklasse " + tooLong + " kann nicht angemeldet werden (Fehler ", 0), 0u)
            << e.what();
    }
    EXPECT_EQ(refused.hwnd(), nullptr);
    Plain first, second;
    EXPECT_NE(first.Create("QvPlainTest"), nullptr);
    EXPECT_NE(second.Create("QvPlainTest"), nullptr);
}

// Whether a window has a frame, checked against what Windows makes of each
// style: a frame is a difference between the window and its client area.
TEST(WindowFrame, HasFrameAgreesWithTheNonClientAreaWindowsGives) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 300, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    HMENU menu = CreateMenu();
    AppendMenuA(menu, MF_STRING, 1, "Datei");
    const struct {
        const char* cls;
        DWORD exStyle, style;
        HMENU menu;
    } cases[] = {
        {"STATIC", 0, WS_CHILD, nullptr},
        {"BUTTON", 0, WS_CHILD | BS_AUTOCHECKBOX, nullptr},
        {"STATIC", WS_EX_WINDOWEDGE, WS_CHILD, nullptr},
        {"STATIC", 0, WS_CHILD | WS_BORDER, nullptr},
        {"STATIC", 0, WS_CHILD | WS_DLGFRAME, nullptr},
        {"STATIC", 0, WS_CHILD | WS_THICKFRAME, nullptr},
        {"STATIC", WS_EX_CLIENTEDGE, WS_CHILD, nullptr},
        {"STATIC", WS_EX_STATICEDGE, WS_CHILD, nullptr},
        {"STATIC", WS_EX_DLGMODALFRAME, WS_CHILD, nullptr},
        {"STATIC", 0, WS_CHILD | WS_VSCROLL, nullptr},
        {"STATIC", 0, WS_CHILD | WS_HSCROLL, nullptr},
        {"EDIT", 0, WS_CHILD | WS_BORDER, nullptr},
        {"STATIC", 0, WS_OVERLAPPEDWINDOW, nullptr},
        {"STATIC", 0, WS_POPUP, nullptr},
        {"STATIC", 0, WS_POPUP, menu},
    };
    for (const auto& c : cases) {
        const bool child = (c.style & WS_CHILD) != 0;
        HWND w = CreateWindowExA(c.exStyle, c.cls, "", c.style, 10, 10, 120, 80, child ? parent : nullptr,
                                 c.menu, nullptr, nullptr);
        ASSERT_NE(w, nullptr);
        RECT outer{}, inner{};
        GetWindowRect(w, &outer);
        GetClientRect(w, &inner);
        const bool nonClient = outer.right - outer.left != inner.right || outer.bottom - outer.top != inner.bottom;
        EXPECT_EQ(win::HasFrame(w), nonClient) << c.cls << std::hex << " style " << c.style << " ex " << c.exStyle
                                               << (c.menu ? " with menu" : "");
        DestroyWindow(w);  // takes the menu with it
    }
    DestroyWindow(parent);
}

// The frame paint is skipped only where there is no frame; every other message
// reaches the control's own procedure.
int gNcPaints = 0, gOthers = 0;
LRESULT CALLBACK CountingProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCPAINT) ++gNcPaints;
    if (msg == WM_USER + 7) ++gOthers;
    return DefWindowProcA(w, msg, wp, lp);
}

TEST(WindowFrame, SkipFramePaintPassesOnAFramesPaintAndEverythingElse) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = CountingProc;
    wc.lpszClassName = "QvCountingControl";
    RegisterClassA(&wc);
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 300, nullptr, nullptr, nullptr, nullptr);
    HWND bare = CreateWindowExA(0, wc.lpszClassName, "", WS_CHILD, 0, 0, 50, 20, parent, nullptr, nullptr, nullptr);
    HWND framed = CreateWindowExA(0, wc.lpszClassName, "", WS_CHILD | WS_BORDER, 0, 30, 50, 20, parent, nullptr,
                                  nullptr, nullptr);
    ASSERT_TRUE(bare && framed);
    win::SkipFramePaint(bare);
    win::SkipFramePaint(framed);
    win::SkipFramePaint(bare);  // a second time changes nothing
    gNcPaints = gOthers = 0;
    SendMessageA(bare, WM_NCPAINT, 1, 0);
    SendMessageA(bare, WM_USER + 7, 0, 0);
    EXPECT_EQ(gNcPaints, 0);
    EXPECT_EQ(gOthers, 1);
    SendMessageA(framed, WM_NCPAINT, 1, 0);
    SendMessageA(framed, WM_USER + 7, 0, 0);
    EXPECT_EQ(gNcPaints, 1);
    EXPECT_EQ(gOthers, 2);
    DestroyWindow(parent);
}

}  // namespace
}  // namespace qv
