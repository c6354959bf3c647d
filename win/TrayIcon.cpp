#include "win/TrayIcon.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>

#include "win/LateBound.h"
#include "win/Shell.h"

namespace qv::win {

namespace {

constexpr UINT kIconId = 1;
constexpr UINT kBalloonTimeoutMs = 15000;

// Windows 95 and NT 4 without a newer shell have no DllGetVersion at all.
bool ShellShowsBalloons() {
    HMODULE shell = GetModuleHandleA("shell32.dll");
    auto getVersion = shell ? reinterpret_cast<DLLGETVERSIONPROC>(
                                  reinterpret_cast<void*>(GetProcAddress(shell, "DllGetVersion")))
                            : nullptr;
    if (!getVersion) return false;
    DLLVERSIONINFO info{};
    info.cbSize = sizeof info;
    return SUCCEEDED(getVersion(&info)) && info.dwMajorVersion >= 5;
}

void CopyCut(char* to, size_t room, const std::string& from) {
    const size_t n = std::min(from.size(), room - 1);
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

}  // namespace

TrayShell SystemTrayShell() {
    // Asked when a balloon is first wanted: shell32 is loaded by then.
    return {NotifyIcon, ShellShowsBalloons};
}

TrayIcon::TrayIcon(TrayShell shell) : shell_(std::move(shell)) {}

TrayIcon::~TrayIcon() {
    if (visible_) Notify(NIM_DELETE);
}

void TrayIcon::SetIcons(std::vector<HICON> icons) {
    icons_ = std::move(icons);
    if (visible_) Notify(NIM_MODIFY);
}

HICON TrayIcon::CurrentIcon() const {
    if (index_ >= 0 && index_ < static_cast<int>(icons_.size())) return icons_[index_];
    return nullptr;
}

bool TrayIcon::Notify(DWORD action) {
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;  // every shell takes the first form; the tip fits
    nid.hWnd = hwnd();
    nid.uID = kIconId;
    if (action != NIM_DELETE) {
        nid.uFlags = NIF_MESSAGE | NIF_ICON;
        nid.uCallbackMessage = kCallbackMessage;
        nid.hIcon = CurrentIcon();
        if (!tip_.empty()) {
            nid.uFlags |= NIF_TIP;
            std::memcpy(nid.szTip, tip_.c_str(), tip_.size() + 1);
        }
    }
    return shell_.notify(action, &nid) != FALSE;
}

bool TrayIcon::ShowBalloon(const std::string& title, const std::string& text) {
    if (!visible_ || !shell_.balloons || !shell_.balloons()) return false;
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
    nid.hWnd = hwnd();
    nid.uID = kIconId;
    nid.uFlags = NIF_INFO;
    CopyCut(nid.szInfoTitle, sizeof nid.szInfoTitle, title);
    CopyCut(nid.szInfo, sizeof nid.szInfo, text);
    nid.uTimeout = kBalloonTimeoutMs;
    nid.dwInfoFlags = NIIF_ERROR;
    return shell_.notify(NIM_MODIFY, &nid) != FALSE;
}

bool TrayIcon::Show() {
    wanted_ = true;
    if (visible_) return true;
    // Made with the first icon: a start-up that shows its window first has
    // one window less to make before it.
    if (!hwnd()) {
        CreateWin("QvTrayIconWindow", 0, WS_POPUP, "", 0, 0, 0, 0, nullptr, nullptr);
        taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
        // A program run with administrator rights hears it only when it lets
        // it through (Vista on).
        using FilterFn = BOOL(WINAPI*)(UINT, DWORD);
        if (auto filter = LateBound<FilterFn>("user32.dll", "ChangeWindowMessageFilter"))
            filter(taskbarCreated_, 1 /* MSGFLT_ADD */);
    }
    if (Add()) {
        Shown();
        return true;
    }
    Lost();
    return false;
}

bool TrayIcon::Add() { return Notify(NIM_ADD) || Notify(NIM_MODIFY); }

void TrayIcon::Shown() {
    visible_ = true;
    retriesLeft_ = 0;
    if (hwnd()) KillTimer(hwnd(), kRetryTimer);
    // A window minimized while there was no icon goes into the tray now.
    if (inTray_ && IsWindow(inTray_) && IsIconic(inTray_) && IsWindowVisible(inTray_))
        ShowWindow(inTray_, SW_HIDE);
}

void TrayIcon::Lost() {
    retriesLeft_ = kRetries;
    nextRetryMs_ = kFirstRetryMs;
    Missing();
}

void TrayIcon::Missing() {
    visible_ = false;
    if (inTray_ && IsWindow(inTray_) && !IsWindowVisible(inTray_)) ShowWindow(inTray_, SW_SHOWMINNOACTIVE);
    if (retriesLeft_ > 0 && hwnd()) SetTimer(hwnd(), kRetryTimer, nextRetryMs_, nullptr);
}

void TrayIcon::Retry() {
    KillTimer(hwnd(), kRetryTimer);
    if (!wanted_ || visible_ || retriesLeft_ <= 0) return;
    --retriesLeft_;
    nextRetryMs_ *= 2;
    if (Add())
        Shown();
    else
        Missing();
}

void TrayIcon::Hide() {
    wanted_ = false;
    retriesLeft_ = 0;
    if (hwnd()) KillTimer(hwnd(), kRetryTimer);
    if (visible_) Notify(NIM_DELETE);  // a failure means the icon is gone already
    visible_ = false;
}

void TrayIcon::SetIconIndex(int index) {
    if (visible_ && index == index_) return;  // the same picture: nothing to tell the shell
    index_ = index;
    // Refused: the shell lost the icon without saying so (it ended without
    // being made anew). It is added again, or the window leaves the tray.
    if (visible_ && !Notify(NIM_MODIFY) && !Notify(NIM_ADD)) Lost();
}

bool TrayIcon::SetTip(const std::string& tip) {
    if (tip.size() > kMaxTip) return false;
    tip_ = tip;
    if (visible_) Notify(NIM_MODIFY);
    return true;
}

void TrayIcon::MinimizeToTray(HWND appWindow) {
    inTray_ = appWindow;
    if (visible_) ShowWindow(appWindow, SW_HIDE);
    if (Minimized) Minimized();
}

void TrayIcon::RestoreApp(HWND appWindow) {
    if (!IsWindowVisible(appWindow) || IsIconic(appWindow)) {
        ShowWindow(appWindow, SW_RESTORE);
        ShowWindow(appWindow, SW_SHOW);
    }
    SetForegroundWindow(appWindow);
}

UINT TrayIcon::TrackMenu(HWND owner, HMENU menu) {
    POINT pt{};
    GetCursorPos(&pt);
    SetForegroundWindow(owner);
    UINT cmd = static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x,
                                                pt.y, 0, owner, nullptr));
    // Lets the menu close when the user clicks elsewhere next time.
    PostMessageA(owner, WM_NULL, 0, 0);
    return cmd;
}

LRESULT TrayIcon::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
        // A new taskbar has none of the old icons.
        if (!wanted_) return 0;
        visible_ = false;
        if (Add())
            Shown();
        else
            Lost();
        return 0;
    }
    switch (msg) {
        case WM_TIMER:
            if (wp == kRetryTimer) Retry();
            return 0;
        case kCallbackMessage:
            if (LOWORD(lp) == WM_LBUTTONDBLCLK && DoubleClick) DoubleClick();
            if (LOWORD(lp) == WM_RBUTTONUP && RightClick) RightClick();
            if (LOWORD(lp) == NIN_BALLOONUSERCLICK && BalloonClick) BalloonClick();
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (visible_) Notify(NIM_DELETE);
            visible_ = false;
            // The session goes on: put the icon back.
            if (!wp && wanted_) {
                if (Add())
                    Shown();
                else
                    Lost();
            }
            return 0;
        default:
            return Default(msg, wp, lp);
    }
}

}  // namespace qv::win
