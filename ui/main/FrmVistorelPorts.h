// The main window's side of the scheduler: its timer, "&Aktiv" button, tray
// icon, error picture and mail controls, and the real actions. Private to the
// main window's files.
#pragma once

#include "ui/main/FrmVistorel.h"
#include "ui/main/VistorelIds.h"

namespace qv::ui {

// Captions of btnAktiv, for the scheduler's two states.
inline constexpr char kAktivOn[] = "&Aktiv";
inline constexpr char kAktivOff[] = "In&aktiv";

class TfrmVistorel::SchedulerPorts : public SchedulerUi, public SchedulerActions {
public:
    explicit SchedulerPorts(TfrmVistorel& w) : w_(w) {}

    // SchedulerUi
    bool TimerEnabled() const override { return w_.timerOn_; }
    void SetTimerEnabled(bool enabled) override { w_.SetTimerEnabled(enabled); }
    void ShowOnOff(bool on) override { w_.SetAktiv(on ? kAktivOn : kAktivOff, on, w_.aktivFlat_); }
    bool AktivFlat() const override { return w_.aktivFlat_; }
    void SetAktivFlat(bool flat) override { w_.SetAktiv(w_.AktivCaption(), w_.aktivDown_, flat); }
    // ImageList1: the two blink phases, then the error picture.
    void ShowTrayIcon(TrayLook look) override {
        w_.tray_.SetIconIndex(look == TrayLook::Idle ? 0 : look == TrayLook::Blink ? 1 : 2);
    }
    bool ErrorIndicator() const override { return w_.errorIndicator_; }
    void LightErrorIndicator() override { w_.LightErrorIndicator(); }
    std::string MailAddress() const override { return w_.MailAddress(); }
    bool MailFirstErrorOnly() const override { return w_.Checked(ids::chkMail); }
    void ProcessMessages() override;
    void Pause(int ms) override { Sleep(static_cast<DWORD>(ms)); }
    void ShowError(const std::string& text) override;
    void ShowNotice(const std::string& text) override;
    void NotifyFailures(const TickFailures& failures) override;

    // SchedulerActions
    std::string RunJobAction(const schema::Job& job) override;
    bool ConfirmShutdownCountdown() override;
    std::string ShutdownSystem(bool Reboot, bool Force, bool PowerOff) override;
    std::string SendErrorMail(const actions::FailureMail& mail) override;

private:
    TfrmVistorel& w_;
};

}  // namespace qv::ui
