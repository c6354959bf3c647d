#include "schedule/Scheduler.h"

#include <exception>

#include "actions/ActionTables.h"
#include "jobs/JobData.h"
#include "schedule/NextStart.h"

namespace qv {

using engine::Cursor;
using engine::DatasetState;

namespace {

// Marks the tick as running for as long as it lives.
class TickScope {
public:
    explicit TickScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~TickScope() { flag_ = false; }
    TickScope(const TickScope&) = delete;
    TickScope& operator=(const TickScope&) = delete;

private:
    bool& flag_;
};

}  // namespace

Scheduler::Scheduler(JobData& data, const Clock& clock, SchedulerActions& actions, SchedulerUi& ui,
                     std::string computerName)
    : data_(data), clock_(clock), actions_(actions), ui_(ui), computerName_(std::move(computerName)) {}

bool Scheduler::IsOn() const { return ui_.AktivCaption() == kAktivOn; }

void Scheduler::Tick() noexcept {
    if (inTick_) return;  // never nested, whatever lets messages through
    std::string error;
    {
        TickScope scope(inTick_);
        try {
            ui_.SetTimerEnabled(false);
            if (data_.tblTimer2.state() != DatasetState::Browse) {
                Rearm();
                return;
            }
            Scan();
            Rearm();
            // Switched off during the tick: the off state shows, no blink.
            if (IsOn()) Blink();
            return;
        } catch (const std::exception& e) {
            error = e.what();
        } catch (...) {
            error = "Unbekannter Fehler";
        }
    }
    Recover(error);
}

void Scheduler::Scan() {
    Cursor& t2 = data_.tblTimer2;
    t2.Refresh();
    t2.First();
    while (!t2.Eof()) {
        // Read per row: a long action earlier in the scan moves the clock on.
        const DateTime now = clock_.Now();
        if (now > data_.tblTimer2Fields.Startzeit->AsDateTime() && data_.tblTimer2Fields.Aktiv->AsString() == "Y" &&
            !t2.RowLocked()) {
            RunDueRow(now);
        }
        t2.Next();
    }
}

void Scheduler::RunDueRow(DateTime now) {
    Cursor& t2 = data_.tblTimer2;
    t2.Edit();
    // Base: the stored start for catch-up, else now. A rule that cannot move
    // the start forward switches the job off after this run instead of making
    // it due at every tick.
    RescheduleJob(t2, now);
    t2.Post();
    // Stored before the action runs: a failing, hanging or shutting-down
    // action does not leave the job due.
    if (data_.tblTimer.active()) data_.tblTimer.Refresh();

    const std::string pfad = data_.tblTimer2Fields.Pfad->AsString();
    const std::string id = data_.tblTimer2Fields.ID->AsString();
    const std::string result = RunAction(pfad);
    // The countdown and the mail client let messages through; "&Starten" may
    // have moved the scheduler cursor meanwhile. Go on from this job's row.
    if (t2.active() && t2.state() == DatasetState::Browse &&
        (t2.Eof() || data_.tblTimer2Fields.ID->AsString() != id)) {
        t2.Locate("ID", id);
    }

    if (!actions::IsOK(result)) HandleFailure(pfad, result);
}

std::string Scheduler::RunAction(const std::string& pfad) {
    if (const auto op = actions::ShutdownOperation(pfad)) {
        if (!actions_.ConfirmShutdownCountdown()) return actions::kCancelled;
        return actions_.ShutdownSystem(op->Reboot, op->Force, op->PowerOff);
    }
    return actions_.RunJobAction(data_.tblTimer2);
}

void Scheduler::HandleFailure(const std::string& pfad, const std::string& result) {
    data_.AppendLogEntry(pfad, result);
    const std::string address = ui_.MailAddress();
    if (actions::ShouldSendErrorMail(address, ui_.MailFirstErrorOnly(), ui_.ErrorIndicator())) {
        // The mail's own result is of no interest: a failed mail leaves no trace.
        actions_.SendErrorMail({actions::kErrorMailSubject,
                                actions::ErrorMailBody(computerName_, pfad, result), computerName_,
                                computerName_, address, address, "", ""});
    }
    ui_.LightErrorIndicator();
}

void Scheduler::Rearm() {
    if (IsOn()) ui_.SetTimerEnabled(true);
}

void Scheduler::Blink() {
    if (ui_.AktivFlat()) {
        ui_.SetAktivFlat(false);
        ui_.SetTrayIcon(kTrayIconIdle);
    } else {
        ui_.SetAktivFlat(true);
        ui_.SetTrayIcon(ui_.ErrorIndicator() ? kTrayIconError : kTrayIconBlink);
    }
}

void Scheduler::Recover(const std::string& error) noexcept {
    try {
        Cursor& t2 = data_.tblTimer2;
        if (t2.state() == DatasetState::Edit || t2.state() == DatasetState::Insert) t2.Cancel();
    } catch (...) {
        // The error box below says what went wrong first.
    }
    try {
        // Shown while the timer is still off, so no tick stacks a second box.
        ui_.ShowError(error);
    } catch (...) {
    }
    try {
        Rearm();
    } catch (...) {
    }
}

void Scheduler::Toggle() {
    if (IsOn()) {
        ui_.SetTimerEnabled(false);
        ui_.SetAktivCaption(kAktivOff);
        ui_.SetAktivFlat(false);
        ui_.SetAktivDown(false);
        ui_.SetTrayIcon(kTrayIconIdle);
    } else {
        // Inside a tick the tick switches the timer on at its end.
        if (!inTick_) ui_.SetTimerEnabled(true);
        ui_.SetAktivCaption(kAktivOn);
        ui_.SetAktivDown(true);
    }
}

void Scheduler::RecalculateCurrentStart() {
    Cursor& t = data_.tblTimer;
    auto noJob = [&] { return !t.active() || (t.state() == DatasetState::Browse && t.RecordCount() == 0); };
    if (noJob()) return;
    do {
        ui_.ProcessMessages();
        ui_.Pause(10);
    } while (!noJob() && t.RowLocked());
    if (noJob()) return;  // the last job went while we waited

    t.LockTable();
    try {
        t.Edit();
        data_.tblTimerFields.Startzeit->SetAsDateTime(CalcNextStart(t, clock_.Now()));
        t.Post();
    } catch (...) {
        if (t.state() == DatasetState::Edit) {
            try {
                t.Cancel();
            } catch (...) {
            }
        }
        t.UnlockTable();
        throw;
    }
    t.UnlockTable();
}

}  // namespace qv
