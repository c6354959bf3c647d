// The main window TfrmVistorel: the job grid with its editors, its navigator, the bottom panel
// with the buttons and options, the tray icon, the scheduler timer, help and
// file dropping; start-up (FormCreate) and the ways the program ends.
//
// One class, its code in four files by concern: FrmVistorel.cpp (building,
// start-up, closing, messages), FrmVistorelPanel.cpp (the bottom panel and its
// handlers), FrmVistorelPorts.cpp (the window's side of the scheduler) and
// FrmVistorelShell.cpp (tray icon, dropped files, help).
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <shellapi.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/DateTime.h"
#include "actions/Mail.h"
#include "actions/Shutdown.h"
#include "jobs/JobData.h"
#include "schedule/Scheduler.h"
#include "ui/data/RowView.h"
#include "ui/log/FrmLog.h"
#include "ui/jobgrid/JobEditors.h"
#include "ui/jobgrid/JobGridView.h"
#include "ui/settings/Settings.h"
#include "ui/settings/SettingsWin32.h"
#include "ui/help/hh.h"
#include "win/Focus.h"
#include "win/Handles.h"
#include "win/MessageBox.h"
#include "win/Navigator.h"
#include "win/TrayIcon.h"
#include "win/Window.h"

namespace qv::ui {

// What the window gets from the program entry (and tests replace).
struct VistorelEnv {
    std::string exeDir;   // with its trailing separator
    std::string exePath;  // the executable's full path
    const Clock* clock = nullptr;
    int dpi = 96;
    // Every message box of the program; SystemMessageBox when empty.
    win::MessageBoxFn messageBox;
    const help::HtmlHelpViewer* helpViewer = nullptr;
    // The autostart entry (registry): read may throw; write(exePath, write)
    // gives false when the system refuses the change.
    std::function<std::string()> readAutostart;
    std::function<bool(const std::string& exePath, bool write)> writeAutostart;
    // The call that really ends the session (shutdown jobs).
    actions::ExitWindowsFn exitWindows;
    // Whether a message asks this copy to show its window (a second copy
    // started in the same folder sends it); none when empty.
    std::function<bool(UINT msg, WPARAM wp, LPARAM lp)> isShowRequest;
    // The shell behind the tray icon; the system's when notify is empty.
    win::TrayShell trayShell;
};

class TfrmVistorel : public win::Window, private SettingsControls {
public:
    static constexpr UINT_PTR kTimerId = 1;  // the scheduler's window timer "Timer"
    static constexpr UINT kTimerInterval = 1500;

    // Builds the window and the components its first paint shows: the timer
    // runs, the cursors stay closed. The rest (tray icon, hints, the grid's
    // editors, the shell's drops) follows right after the window is first
    // shown, or sooner at the first tick, input or minimizing.
    explicit TfrmVistorel(VistorelEnv env);
    ~TfrmVistorel() override;

    // The creation handler, steps 1 to 16; an error ends it and is shown in
    // the general error box.
    void FormCreate();
    // Program entry step 4: minimized into the tray, maximized or normal.
    void ShowAtStart(int showCommand);
    // Keyboard navigation between the controls (for the message loop).
    bool PreTranslate(MSG* msg);

    // Closing: the question, the session's end, closing and destruction.
    bool FormCloseQuery();  // "Wirklich beenden ?"
    LRESULT shutdown();     // WM_QUERYENDSESSION: ends without asking
    void FormClose();
    void FormDestroy();
    // Saves the grid layout into the settings file (once, at the end).
    void SaveLayout();

    // Handlers of the bottom panel.
    void btnStartenClick();    // "&Starten": runs the selected job now
    void Button1Click();       // "Startzeit &berechnen"
    void Button2Click();       // "&LogDB ansehen"
    void btnHelpClick();       // "Hilfe"
    void btnAktivClick();      // "&Aktiv" / "In&aktiv": switches the scheduler
    void chkAutostartClick();  // "A&utostart"
    void Image1Click();        // the error picture: clears the error indicator
    void TimerTimer();         // the window timer "Timer": one scheduler tick

    // Handlers of the tray icon and the grid.
    void Beenden1Click();           // tray menu "Beenden"
    void Wiederherstellen1Click();  // tray menu "Wiederherstellen"
    void TrayMinimizeApp();         // the window went into the tray
    void TrayBalloonClick();        // a failure's balloon: the window and the run log
    void WMDROPFILES(HDROP drop);   // files dropped on the grid

    // State the scheduler shows.
    bool aktivDown() const { return aktivDown_; }
    bool aktivFlat() const { return aktivFlat_; }
    void SetAktiv(const std::string& caption, bool down, bool flat);
    std::string AktivCaption() const;
    void SetTimerEnabled(bool on);
    bool timerEnabled() const { return timerOn_; }
    void LightErrorIndicator();
    bool errorIndicator() const { return errorIndicator_; }
    win::TrayIcon& Tray() { return tray_; }

    JobData& data() { return *data_; }
    bool endSession() const { return endSession_; }
    TfrmLog* frmLog() { return frmLog_.get(); }
    RowView& grid() { return *dxDBGrid1_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    class SchedulerPorts;
    static const char* const kScaledColumns[5];

    // Building and layout.
    static constexpr UINT_PTR kRestTimerId = 2;  // the rest comes this long after the first paint
    static constexpr UINT kRestDelay = 100;
    // Where the grid, the navigator and the panel go in the client area.
    struct Places {
        RECT grid, navigator, panel;
    };
    Places PlacesNow() const;
    void CreateControls();
    void CreatePanel(const RECT& bounds);
    void BuildRest();
    void CreateEditors();
    void CreateHints();
    void CreateTray();
    // The three pictures of ImageList1 as icons, made when first needed.
    const win::Icon* ProgramIcons();
    void Layout();
    // The panel controls' places for a panel of that width.
    std::vector<RECT> PanelRects(int panelWidth) const;
    void LayoutPanel();
    void ScaleToScreen();

    // The scheduler's boxes, shown after its tick from a posted message: the
    // box's own message loop lets the next ticks run. The same text waiting
    // already is not queued twice.
    static constexpr UINT kMsgSchedulerBoxes = WM_APP + 0x25;
    void PostSchedulerBox(bool error, const std::string& text);
    void ShowSchedulerBoxes();

    // Messages.
    void OnCommand(int id, int code);
    // WM_ACTIVATE, WM_SETFOCUS: the control that had the focus gets it back.
    LRESULT KeepFocus(UINT msg, WPARAM wp, LPARAM lp);
    // The navigator's buttons, after the grid's editor has handed over.
    void DBNavigator1Click(win::NavButton button);
    void OnHelp(const HELPINFO& info);
    void DrawAktiv(const DRAWITEMSTRUCT& item);
    void DrawImage1(const DRAWITEMSTRUCT& item);
    int ShowMessage(const win::MessageBoxRequest& request);
    void ShowPlain(const std::string& text);  // plain notice, OK button

    // The grid takes dropped files through LBWindowProc from start-up on.
    void AcceptDroppedFiles();
    void StopDroppedFiles();
    static LRESULT CALLBACK LBWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void dxDBGrid1DragOver(HWND target, const std::string& sourceType);

    // The bottom panel's controls.
    bool Checked(int id) const;
    void SetChecked(int id, bool on);
    HWND Item(int id) const;
    std::string MailAddress() const;  // edMail
    // Shows the autostart state without writing it.
    void ShowAutostart(bool on);

    // SettingsControls: show the values read at start-up.
    void SetMinimized(bool checked) override;
    void SetAktiviert(bool checked) override;
    void SetMail(bool checked) override;
    void SetMailAddress(const std::string& text) override;

    VistorelEnv env_;
    std::unique_ptr<JobData> data_;
    actions::SimpleMapi mapi_;
    std::unique_ptr<SchedulerPorts> ports_;
    std::unique_ptr<Scheduler> scheduler_;
    Win32Profile profile_;
    Settings settings_;
    win::Font font_;
    win::ImageList ImageList1_;  // the program's three pictures
    win::Icon icons_[3];
    win::Menu PopupMenu1_;  // the tray icon's menu
    win::TrayIcon tray_;
    std::unique_ptr<JobGridView> dxDBGrid1_;  // the job grid
    std::unique_ptr<JobEditors> editors_;
    win::Navigator DBNavigator1_;  // the job grid's navigator
    std::unique_ptr<win::Window> Panel1_;  // the bottom panel
    HWND tooltip_ = nullptr;
    bool restBuilt_ = false;
    RECT laidOut_{};  // the client area Layout last filled
    std::unique_ptr<help::HelpBinding> help_;
    std::unique_ptr<TfrmLog> frmLog_;
    WNDPROC savedGridProc_ = nullptr;
    win::FocusKeeper focus_;

    std::string computerName_;
    bool endSession_ = false;
    bool timerOn_ = false;
    bool aktivDown_ = true;
    bool aktivFlat_ = false;
    bool errorIndicator_ = false;
    bool image1Picture_ = false;
    bool startMinimized_ = false;
    bool settingFromCode_ = false;
    bool columnsScaled_ = false;  // start-up adapted the widths to the screen
    std::deque<std::pair<bool, std::string>> schedulerBoxes_;  // error?, text
    bool showingSchedulerBoxes_ = false;
};

}  // namespace qv::ui
