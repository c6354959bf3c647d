// The scheduler tick and the two buttons that act on the scheduler, free of
// any window: the main window supplies the ports (its timer, the "&Aktiv"
// button, the tray icon, the error picture, the mail controls, the message
// pump and its general error box) and the actions (program start, countdown,
// shutdown, failure mail).
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "rules/ActionTables.h"
#include "engine/DateTime.h"
#include "engine/Table.h"
#include "schedule/ClockWatch.h"
#include "schema/JobSchema.h"

namespace qv {

class JobData;

// What the tray icon shows: at rest (and the first blink phase), the second
// blink phase, or that phase while a failure is unacknowledged.
enum class TrayLook { Idle, Blink, Error };

// The failures one tick logged: how many, and the first as logged.
struct TickFailures {
    int count = 0;
    std::string pfad, result;
};
// The words of the notice: the Pfad and the failure text, and before them,
// when there were several, how many.
std::string FailureNoticeText(const TickFailures& failures);

// What a due job does. The window passes the real actions; tests record.
class SchedulerActions {
public:
    virtual ~SchedulerActions() = default;
    // Opens the file of a job (the scheduler cursor's current row); the result text.
    virtual std::string RunJobAction(const schema::Job& job) = 0;
    // Shows the ten-second countdown; true when it ran out, false when cancelled.
    virtual bool ConfirmShutdownCountdown() = 0;
    virtual std::string ShutdownSystem(bool Reboot, bool Force, bool PowerOff) = 0;
    // The failure mail; its result text.
    virtual std::string SendErrorMail(const actions::FailureMail& mail) = 0;
};

// The parts of the main window the scheduler reads and changes.
class SchedulerUi {
public:
    virtual ~SchedulerUi() = default;
    virtual bool TimerEnabled() const = 0;
    virtual void SetTimerEnabled(bool enabled) = 0;
    // The on/off button shows the scheduler's state (caption and down look).
    virtual void ShowOnOff(bool on) = 0;
    // The button's flat look is the blink phase.
    virtual bool AktivFlat() const = 0;
    virtual void SetAktivFlat(bool flat) = 0;
    virtual void ShowTrayIcon(TrayLook look) = 0;
    // The error indicator flag (cleared by the user through the window).
    virtual bool ErrorIndicator() const = 0;
    // Sets the flag and shows the error picture in Image1.
    virtual void LightErrorIndicator() = 0;
    virtual std::string MailAddress() const = 0;  // edMail
    virtual bool MailFirstErrorOnly() const = 0;  // chkMail
    // Lets pending window messages be handled; then pauses ms milliseconds.
    virtual void ProcessMessages() = 0;
    virtual void Pause(int ms) = 0;
    // The application's general error box, and a plain notice box, shown
    // once the tick has returned: the tick never waits for a box, and ticks
    // go on while it is open. Must not throw.
    virtual void ShowError(const std::string& text) = 0;
    virtual void ShowNotice(const std::string& text) = 0;
    // Once at the end of a tick that logged failures.
    virtual void NotifyFailures(const TickFailures& failures) = 0;
};

class Scheduler {
public:
    // data: the job data with its cursors opened by start-up. computerName:
    // the name read at start-up, sender of the failure mail.
    Scheduler(JobData& data, const Clock& clock, SchedulerActions& actions, SchedulerUi& ui,
              std::string computerName);
    // Failures not yet in the run log get a last try.
    ~Scheduler();
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    void SetComputerName(std::string name) { computerName_ = std::move(name); }

    // One scheduler tick: starts every due job of the scheduler cursor. Never
    // throws, and always switches the timer on again while the scheduler is
    // on. First it follows a table file deleted or replaced since the last
    // tick (JobData::FollowTableFiles) and writes the failures earlier ticks
    // could not log. An error inside it is shown after the tick (naming the
    // table it concerns, and not again while that table keeps failing with
    // it), and an edit it left open on the scheduler cursor is cancelled:
    // - a table another program holds is tried again at every tick, and only
    //   named when that has gone on for kBusyTicksBeforeBox ticks;
    // - a full disk is named at once and tried again at every tick;
    // - a table found damaged is repaired as at start-up, and said so once;
    // A job runs only once its next start is stored, so one whose row cannot
    // be written waits for the next tick; a failure the run log cannot take
    // is kept and logged at a later tick with the moment it happened, and is
    // still mailed and indicated at once. A row that cannot be run (a
    // required field empty or unreadable) is a failure of its job, switched
    // off.
    //
    // Before anything else it reads the clock against a count that ignores
    // clock changes (ClockWatch): a clock set or corrected by more than a few
    // seconds moves every active job's start by as much (CorrectedStart), so
    // a job due in ten minutes is still due in ten minutes. A tick that sees
    // such a change for the first time waits for the next to confirm it and
    // runs nothing meanwhile. A tick of a scheduler that is off does nothing.
    void Tick() noexcept;

    // Windows says the clock was set (WM_TIMECHANGE): the change is taken at
    // once, without waiting for a second reading.
    void ClockSet() noexcept;
    // Sleep or hibernation begins, or has ended: the time in between is time
    // that passed, however the count behaved across it, and missed starts
    // are caught up as after any pause.
    void Suspending() noexcept;
    void Resumed() noexcept;

    // Ticks a table held by another program may fail before the box says so
    // (about ten seconds): brief locks of other tools go unmentioned.
    static constexpr int kBusyTicksBeforeBox = 6;
    // Failures kept for the run log at most; later ones are counted and said.
    static constexpr size_t kMaxUnlogged = 1000;
    // Missed starts a catch-up job replays at most (the latest ones); the
    // older ones are left out and the run log says how many. Counting stops
    // at kMissedCountLimit: beyond it the job goes on from now.
    static constexpr int kCatchUpLimit = 20;
    static constexpr int kMissedCountLimit = 100000;

    // Switches the scheduler off when it is on, on when it is off.
    void Toggle();

    // The next start of the editor cursor's current job from now, stored in
    // that row. Does nothing when there is no job. Engine errors propagate (the
    // window shows them); the table lock is released in every case.
    void RecalculateCurrentStart();

    bool IsOn() const { return on_; }

private:
    // Where an error of the tick comes from; each is named once while it fails.
    enum Place { kTimerPlace, kLogPlace, kEditorPlace, kPlaces };
    void Scan();
    bool IsDue(const ClockReading& now) const;
    void RunDueRow(const ClockReading& now);
    // A catch-up job far behind: its stored start moves on to the oldest of
    // the last kCatchUpLimit missed starts; the run log hears of the rest.
    // Returns the run log's words for the starts left out, or nothing.
    std::string BoundCatchUp(const ClockReading& now);
    // Takes a clock change the watch reports; false while one is unconfirmed.
    bool FollowClock(bool confirmed) noexcept;
    // Moves every active job's start by the clock's change.
    void ShiftStarts(int64_t delta);
    // The editor cursor: the row just stored, or all of it after a scan.
    void RefreshEditor(int64_t row);
    void RefreshEditor();
    void ReturnTo(int64_t row);
    std::string RunAction(const std::string& pfad);
    void HandleFailure(const std::string& pfad, const std::string& result);
    void Rearm();
    void Blink();
    void CancelSchedulerEdit() noexcept;
    void NotifyFailures() noexcept;
    // Deleted or replaced table files, before anything is read.
    void FollowTableFiles() noexcept;
    // Writes the failures kept for the run log, oldest first, while it takes them.
    void FlushLog() noexcept;
    // An error met at place: retried, repaired or shown, by its kind. True
    // when the table was found damaged and is repaired and open again.
    bool Trouble(Place place, const std::exception& error) noexcept;
    // The place works again: its next error is news.
    void Cleared(Place place);
    void Say(const std::string& notice) noexcept;
    std::string TableName(Place place) const;
    std::string TimerTable() const;
    std::string LogTable() const;

    JobData& data_;
    const Clock& clock_;
    SchedulerActions& actions_;
    SchedulerUi& ui_;
    std::string computerName_;
    bool on_ = true;
    bool inTick_ = false;
    bool clockSet_ = false;  // WM_TIMECHANGE during a tick: taken by the next
    ClockWatch watch_;
    // What the last scan left: the table as it was then and the earliest
    // start of an active job. Until either changes, nothing can be due.
    struct AtRest {
        engine::TableStamp stamp;
        DateTime earliest;
    };
    std::optional<AtRest> atRest_;
    struct PlaceState {
        std::string shown;  // the error last shown, until the place works again
        int busyTicks = 0;  // ticks in a row another program held it
        uint64_t busyTick = 0;
        bool repairFailed = false;
    };
    PlaceState places_[kPlaces];
    uint64_t tickNo_ = 0;
    // Failures the run log did not take yet, with the moment they happened.
    struct Unlogged {
        std::string pfad, result;
        DateTime when;
    };
    std::deque<Unlogged> unlogged_;
    size_t unloggedDropped_ = 0;  // beyond kMaxUnlogged
    TickFailures failures_;       // of this tick
};

}  // namespace qv
