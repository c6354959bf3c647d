// Fake window and fake actions for running whole scheduler ticks in tests and
// the benchmark: they record what the tick did and answer as told.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "schedule/Scheduler.h"

namespace qv::test {

struct FakeSchedulerUi : SchedulerUi {
    bool timer = true;
    std::string caption = "&Aktiv";
    bool flat = false;
    bool down = true;
    bool indicator = false;
    int pictureShown = 0;
    std::string address = "admin@example.org";
    bool firstErrorOnly = true;
    std::vector<bool> timerCalls;
    std::vector<int> trayIcons;
    std::vector<std::string> errors;
    int processCalls = 0;
    int pausedMs = 0;
    std::function<void()> onProcess;
    std::vector<TickFailures> notices;
    std::vector<std::string> plainNotices;

    bool TimerEnabled() const override { return timer; }
    void SetTimerEnabled(bool on) override {
        timer = on;
        timerCalls.push_back(on);
    }
    void ShowOnOff(bool on) override {
        caption = on ? "&Aktiv" : "In&aktiv";
        down = on;
    }
    bool AktivFlat() const override { return flat; }
    void SetAktivFlat(bool f) override { flat = f; }
    void ShowTrayIcon(TrayLook look) override { trayIcons.push_back(static_cast<int>(look)); }
    bool ErrorIndicator() const override { return indicator; }
    void LightErrorIndicator() override {
        indicator = true;
        ++pictureShown;
    }
    std::string MailAddress() const override { return address; }
    bool MailFirstErrorOnly() const override { return firstErrorOnly; }
    void ProcessMessages() override {
        ++processCalls;
        if (onProcess) onProcess();
    }
    void Pause(int ms) override { pausedMs += ms; }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    void ShowNotice(const std::string& text) override { plainNotices.push_back(text); }
    void NotifyFailures(const TickFailures& f) override { notices.push_back(f); }
};

struct ShutdownCall {
    bool Reboot, Force, PowerOff;
};

struct FakeSchedulerActions : SchedulerActions {
    std::vector<std::string> runs;  // Pfad of every program start
    std::function<std::string(const schema::Job&)> onRun;  // "OK" when not set
    bool countdownRunsOut = true;
    int countdowns = 0;
    std::vector<ShutdownCall> shutdowns;
    std::string shutdownResult = "OK";
    std::vector<std::array<std::string, 8>> mails;
    std::function<void()> onMail;  // what happens while the mail client is open

    std::string RunJobAction(const schema::Job& job) override {
        runs.push_back(job.pfad);
        return onRun ? onRun(job) : "OK";
    }
    bool ConfirmShutdownCountdown() override {
        ++countdowns;
        return countdownRunsOut;
    }
    std::string ShutdownSystem(bool Reboot, bool Force, bool PowerOff) override {
        shutdowns.push_back({Reboot, Force, PowerOff});
        return shutdownResult;
    }
    std::string SendErrorMail(const actions::FailureMail& m) override {
        mails.push_back({m.Subject, m.Body, m.SenderName, m.SenderAddress, m.RecipientName,
                         m.RecipientAddress, m.AttachmentPath, m.AttachmentName});
        if (onMail) onMail();
        return "Fehler beim Senden";  // dropped by the tick
    }
};

}  // namespace qv::test
