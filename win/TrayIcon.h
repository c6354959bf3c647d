// A notification-area icon with a hidden window of its own that receives the
// shell's callback messages. Knows nothing of the application: the owner sets
// the icons and reacts through the events.
//
// The hidden window, made when the icon is first shown, is a top-level window,
// so it sees the session-end messages: it agrees to a session end, and removes
// the icon when the outcome is reported; after a cancelled session end it puts
// the icon back, so the program never runs on without one.
//
// It also hears "TaskbarCreated", which the shell sends to every top-level
// window when its taskbar is made anew (Explorer restarted, or started after
// the program): every icon is gone then, and this one is added again. An
// icon the shell refuses (no notification area yet, the shell busy) is tried
// again then, and a few times after at growing intervals. An icon found gone
// at a change of its image is added again at once. While no icon shows, the
// application window is never left hidden: a window minimized into the tray
// comes back onto the taskbar, minimized, and goes back into the tray when the
// icon returns.
//
// Balloons need shell32 5.0 (Windows 2000 and Me on): only there does the
// control send the longer notification data that carries them; every other
// call uses the first form, which every shell takes.
#pragma once

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "win/Window.h"

namespace qv::win {

// What the control asks of the shell: Shell_NotifyIconA, and whether its
// notification area shows balloons. Tests record instead.
struct TrayShell {
    std::function<BOOL(DWORD action, NOTIFYICONDATAA* data)> notify;
    std::function<bool()> balloons;  // none: no balloons
};
// The system's: balloons when shell32's version (asked at run time) is 5.0 or later.
TrayShell SystemTrayShell();

class TrayIcon : public Window {
public:
    static constexpr UINT kCallbackMessage = WM_USER + 100;
    static constexpr size_t kMaxTip = 63;

    explicit TrayIcon(TrayShell shell = SystemTrayShell());
    ~TrayIcon() override;

    // Icons by index (not owned; they must outlive the control).
    void SetIcons(std::vector<HICON> icons);
    // Shows the icon (NIM_ADD). False when the shell refused it (no
    // notification area); the control then stays switched off.
    bool Show();
    // Removes the icon (NIM_DELETE). An icon that is already gone (the shell
    // restarted, or a session end took it away) is no error.
    void Hide();
    bool visible() const { return visible_; }

    // A new image shows at once while the icon is visible.
    void SetIconIndex(int index);
    int iconIndex() const { return index_; }
    // Refuses (returns false, keeps the old tip) a tip longer than kMaxTip.
    bool SetTip(const std::string& tip);
    const std::string& tip() const { return tip_; }

    // Shows a balloon with the error symbol at the visible icon; title and
    // text are cut to what the shell takes. False, and nothing sent, without
    // balloon support or without an icon.
    bool ShowBalloon(const std::string& title, const std::string& text);

    // Minimizes the application window into the tray: hides its taskbar
    // button when the icon is visible, then raises Minimized. Without an icon
    // the window stays minimized on the taskbar, so it can be restored.
    void MinimizeToTray(HWND appWindow);
    // Attempts at a refused icon after the first, and the pause before each.
    static constexpr int kRetries = 5;
    static constexpr UINT kFirstRetryMs = 2000;  // doubled before each further one
    // Shows the window normal again (also one never shown), brings it to the
    // foreground.
    static void RestoreApp(HWND appWindow);

    // Opens menu at the mouse position after bringing owner to the front;
    // returns the chosen command id (0 for none).
    static UINT TrackMenu(HWND owner, HMENU menu);

    std::function<void()> DoubleClick;  // left double-click
    std::function<void()> RightClick;   // right button released
    std::function<void()> Minimized;    // after MinimizeToTray
    std::function<void()> BalloonClick;  // the user clicked the balloon

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    static constexpr UINT_PTR kRetryTimer = 1;
    bool Notify(DWORD action);
    HICON CurrentIcon() const;
    // Adds the icon; one the shell already has (a refusal that came too late
    // to tell) counts as added.
    bool Add();
    // The icon is not there (refused, or gone): the window comes out of the
    // tray, and the next attempt is planned; Lost plans them all anew.
    void Missing();
    void Lost();
    void Retry();
    void Shown();

    TrayShell shell_;
    std::vector<HICON> icons_;
    int index_ = 0;
    std::string tip_;
    bool visible_ = false;
    bool wanted_ = false;  // switched on by the owner
    UINT taskbarCreated_ = 0;
    int retriesLeft_ = 0;
    UINT nextRetryMs_ = 0;
    HWND inTray_ = nullptr;  // the application window last minimized into the tray
};

}  // namespace qv::win
