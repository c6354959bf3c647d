#include "ui/main/FrmVistorelPorts.h"

#include "actions/Countdown.h"
#include "actions/RunJob.h"

namespace qv::ui {

void TfrmVistorel::SchedulerPorts::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (w_.PreTranslate(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void TfrmVistorel::SchedulerPorts::ShowError(const std::string& text) { w_.PostSchedulerBox(true, text); }

void TfrmVistorel::SchedulerPorts::ShowNotice(const std::string& text) { w_.PostSchedulerBox(false, text); }

// A balloon at the tray icon, where the shell shows them, unless switched off
// by hand in the settings file.
void TfrmVistorel::SchedulerPorts::NotifyFailures(const TickFailures& failures) {
    if (w_.settings_.FailureBalloon()) w_.tray_.ShowBalloon(win::AppTitle(), FailureNoticeText(failures));
}

std::string TfrmVistorel::SchedulerPorts::RunJobAction(const schema::Job& job) {
    return actions::RunJobAction(w_.hwnd(), job);
}

bool TfrmVistorel::SchedulerPorts::ConfirmShutdownCountdown() {
    actions::CountdownOptions o;
    o.disableProgramWindows = true;
    return actions::ConfirmShutdownCountdown(o);
}

std::string TfrmVistorel::SchedulerPorts::ShutdownSystem(bool Reboot, bool Force, bool PowerOff) {
    return actions::ShutdownSystem(Reboot, Force, PowerOff, w_.env_.exitWindows);
}

std::string TfrmVistorel::SchedulerPorts::SendErrorMail(const actions::FailureMail& mail) {
    return actions::SendErrorMail(w_.mapi_, w_.hwnd(), mail);
}

}  // namespace qv::ui
