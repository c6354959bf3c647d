// The ten-second countdown shown before a shutdown or restart, which the user
// can cancel.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include <commctrl.h>  // Handles.h needs HIMAGELIST

#include "win/Dialog.h"
#include "win/Handles.h"

namespace qv::actions {

struct CountdownOptions {
    // Interval of Timer1. Tests shorten it, or make it long and send the timer
    // messages themselves.
    UINT timerIntervalMs = 1000;
    // Every window of the program (of the calling thread: the main window,
    // the log viewer, ...) is kept disabled while the dialog shows. The dialog
    // has no owner, so it stays visible when the main window is in the tray.
    bool disableProgramWindows = false;
    // Called once the dialog and its controls exist, before it is shown.
    std::function<void(HWND dialog)> onCreated;
};

class TfrmCountdown : public win::Dialog {
public:
    static constexpr int kLabel1Id = 101;
    static constexpr int kLabel2Id = 102;
    static constexpr int kButton1Id = 103;
    static constexpr UINT_PTR kTimer1Id = 1;

    static constexpr INT_PTR kModalOk = IDOK;
    static constexpr INT_PTR kModalCancel = IDCANCEL;

    explicit TfrmCountdown(CountdownOptions options = {});

    // Shows the dialog modally and returns its modal result: kModalOk when the
    // countdown ran out, kModalCancel when it was cancelled; -1 when the dialog
    // could not be created.
    INT_PTR ShowModal();

    int SecondsLeft() const { return SecondsLeft_; }

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnCancel() override { SetModalResult(kModalCancel); }
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void FormCreate();
    void Timer1Timer();
    void Button1Click();  // "Abbrechen"
    void SetModalResult(INT_PTR result);
    void SetLabelText(HWND label, const std::string& text);

    CountdownOptions options_;
    HWND Label1_ = nullptr;
    HWND Label2_ = nullptr;
    HWND Button1_ = nullptr;
    win::Font font_;
    int dpi_ = 96;
    int SecondsLeft_ = 0;
};

// Shows the countdown; true when it ran out, false when the user cancelled it
// (by the button or the title bar's close box).
bool ConfirmShutdownCountdown(const CountdownOptions& options = {});

}  // namespace qv::actions
