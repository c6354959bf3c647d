// The main window TfrmVistorel: the job grid with its editors, its navigator, the bottom panel
// with the buttons and options, the tray icon, the scheduler timer, help and
// file dropping; start-up (FormCreate) and the ways the program ends.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>

#include "engine/DateTime.h"
#include "actions/Mail.h"
#include "actions/Shutdown.h"
#include "jobs/JobData.h"
#include "schedule/Scheduler.h"
#include "ui/data/CursorList.h"
#include "ui/log/FrmLog.h"
#include "ui/jobgrid/JobEditors.h"
#include "ui/jobgrid/JobGridView.h"
#include "ui/settings/Settings.h"
#include "ui/settings/SettingsWin32.h"
#include "ui/help/hh.h"
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
    // The autostart entry (registry): read may throw; write(exePath, write).
    std::function<std::string()> readAutostart;
    std::function<void(const std::string& exePath, bool write)> writeAutostart;
    // The call that really ends the session (shutdown jobs).
    actions::ExitWindowsFn exitWindows;
};

class TfrmVistorel : public win::Window, private SettingsControls {
public:
    static constexpr UINT_PTR kTimerId = 1;
    static constexpr UINT kTimerInterval = 1500;

    // Builds the window and its components (not shown): the tray icon shows,
    // the timer runs, the cursors stay closed.
    explicit TfrmVistorel(VistorelEnv env);
    ~TfrmVistorel() override;

    // The creation handler, steps 1 to 16; an error ends it and is shown in
    // the general error box.
    void FormCreate();
    // Program entry step 4: minimized into the tray, maximized or normal.
    void ShowAtStart(int showCommand);
    // Keyboard navigation between the controls (for the message loop).
    bool PreTranslate(MSG* msg);

    // Handlers.
    void SetAutostartEntryFromBox();
    void chkAutostartClick();
    bool FormCloseQuery();
    LRESULT shutdown();
    void FormClose();
    void FormDestroy();
    // Saves the grid layout into the settings file (once, at the end).
    void SaveLayout();
    static const char* const kScaledColumns[5];
    void Beenden1Click();
    void Wiederherstellen1Click();
    void TrayMinimizeApp();
    void Image1Click();
    void btnHelpClick();
    void btnStartenClick();
    void Button2Click();
    void btnAktivClick();
    void TimerTimer();
    void Button1Click();
    void WMDROPFILES(HDROP drop);

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
    const std::string& computerName() const { return computerName_; }
    bool endSession() const { return endSession_; }
    TfrmLog* frmLog() { return frmLog_.get(); }
    RowView& grid() { return *dxDBGrid1_; }
    int ShowMessage(const win::MessageBoxRequest& request);
    void ShowPlain(const std::string& text);  // plain notice, OK button

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    class Panel;
    class SchedulerPorts;
    void CreateControls();
    void Layout();
    void ScaleToScreen();
    void OnCommand(int id, int code);
    void NavigatorClick(win::NavButton button);
    void DrawAktiv(const DRAWITEMSTRUCT& item);
    void DrawImage1(const DRAWITEMSTRUCT& item);
    bool ConfirmDeleteRow();
    void dxDBGrid1DragOver(HWND target, const std::string& sourceType);
    bool Checked(int id) const;
    void SetChecked(int id, bool on);
    HWND Item(int id) const;
    static LRESULT CALLBACK LBWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

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
    win::ImageList ImageList1_;
    win::Icon icons_[3];
    win::Menu PopupMenu1_;
    win::TrayIcon tray_;
    std::unique_ptr<JobGridView> dxDBGrid1_;
    std::unique_ptr<JobEditors> editors_;
    win::Navigator DBNavigator1_;
    std::unique_ptr<Panel> Panel1_;
    HWND tooltip_ = nullptr;
    std::unique_ptr<help::HelpBinding> help_;
    std::unique_ptr<TfrmLog> frmLog_;
    WNDPROC savedGridProc_ = nullptr;

    std::string computerName_;
    bool endSession_ = false;
    bool timerOn_ = false;
    bool aktivDown_ = true;
    bool aktivFlat_ = false;
    bool errorIndicator_ = false;
    bool image1Picture_ = false;
    bool startMinimized_ = false;
    bool settingFromCode_ = false;
};

}  // namespace qv::ui
