#include "schedule/Scheduler.h"

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <vector>

#include "rules/ActionTables.h"
#include "jobs/JobData.h"
#include "jobs/Tables.h"
#include "rules/NextStart.h"

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

// Fields the cursor requires that the current row leaves empty, or holds in a
// form that cannot be read (which reads as empty).
std::vector<engine::Field*> MissingRequired(Cursor& c) {
    std::vector<engine::Field*> missing;
    for (int i = 0; i < c.FieldCount(); ++i) {
        engine::Field& f = c.FieldByIndex(i);
        if (f.required() && f.type() != engine::FieldType::AutoInc && f.IsNull()) missing.push_back(&f);
    }
    return missing;
}

// Posts the row being edited, with Aktiv "N", past the required check of the
// fields it lacks: the row stays as it is, only switched off.
void PostSwitchedOff(Cursor& c, engine::Field& aktiv, const std::vector<engine::Field*>& lacking) {
    for (engine::Field* f : lacking) f->SetRequired(false);
    try {
        aktiv.SetAsString("N");
        c.Post();
    } catch (...) {
        for (engine::Field* f : lacking) f->SetRequired(true);
        throw;
    }
    for (engine::Field* f : lacking) f->SetRequired(true);
}

// Rows of later, in row order, that are not in rows[from..] yet go in there.
void MergeLater(std::vector<engine::TimedRow>& rows, size_t from, const std::vector<engine::TimedRow>& later) {
    if (later.empty()) return;  // the usual case: no copy of the rest per job
    std::vector<engine::TimedRow> merged;
    merged.reserve(rows.size() - from + later.size());
    size_t a = from, b = 0;
    while (a < rows.size() || b < later.size()) {
        if (b == later.size() || (a < rows.size() && rows[a].rowid <= later[b].rowid)) {
            if (b < later.size() && rows[a].rowid == later[b].rowid) ++b;  // known since the scan began
            merged.push_back(rows[a++]);
        } else {
            merged.push_back(later[b++]);
        }
    }
    rows.resize(from);
    rows.insert(rows.end(), merged.begin(), merged.end());
}

}  // namespace

std::string FailureNoticeText(const TickFailures& f) {
    const std::string first = f.pfad + "\n" + f.result;
    return f.count > 1 ? std::to_string(f.count) + " Fehler, der erste:\n" + first : first;
}

Scheduler::Scheduler(JobData& data, const Clock& clock, SchedulerActions& actions, SchedulerUi& ui,
                     std::string computerName)
    : data_(data), clock_(clock), actions_(actions), ui_(ui), computerName_(std::move(computerName)) {}

Scheduler::~Scheduler() {
    // The last chance for failures the run log did not take: no box any more.
    while (!unlogged_.empty() && data_.tblLog.active() && !data_.tblLog.ReadOnly()) {
        try {
            const Unlogged& u = unlogged_.front();
            data_.AppendLogEntry(u.pfad, u.result, u.when);
        } catch (...) {
            return;
        }
        unlogged_.pop_front();
    }
}

void Scheduler::Tick() noexcept {
    if (inTick_) return;  // never nested, whatever lets messages through
    bool scanned = false;
    {
        TickScope scope(inTick_);
        ++tickNo_;
        failures_ = TickFailures{};
        try {
            ui_.SetTimerEnabled(false);
        } catch (...) {
        }
        FollowTableFiles();
        FlushLog();
        const bool clockKnown = FollowClock(clockSet_);
        clockSet_ = false;
        try {
            Cursor& t2 = data_.tblTimer2;
            // A table that cannot be written was reported at start-up; its
            // jobs cannot be rescheduled, so none is run.
            if (on_ && clockKnown && t2.state() == DatasetState::Browse && !t2.ReadOnly()) {
                Scan();
                Cleared(kTimerPlace);
                scanned = true;
            }
        } catch (const std::exception& e) {
            CancelSchedulerEdit();
            Trouble(kTimerPlace, e);
        } catch (...) {
            CancelSchedulerEdit();
            Trouble(kTimerPlace, std::runtime_error("Unbekannter Fehler"));
        }
    }
    try {
        Rearm();
        // Switched off during the tick: the off state shows, no blink.
        if (scanned && IsOn()) Blink();
    } catch (...) {
    }
    NotifyFailures();
}

void Scheduler::ClockSet() noexcept {
    if (inTick_) {
        clockSet_ = true;
        return;
    }
    FollowClock(true);
}

void Scheduler::Suspending() noexcept { watch_.Suspending(); }
void Scheduler::Resumed() noexcept { watch_.Resumed(); }

bool Scheduler::FollowClock(bool confirmed) noexcept {
    try {
        const int64_t change = watch_.Observe(clock_.Read(), confirmed);
        if (change != 0) ShiftStarts(change);
    } catch (const std::exception& e) {
        CancelSchedulerEdit();
        Trouble(kTimerPlace, e);
    } catch (...) {
        CancelSchedulerEdit();
    }
    return !watch_.Unsettled();
}

// Rows being edited in the grid keep their start: the post of the edit
// computes one anew where it has passed.
void Scheduler::ShiftStarts(int64_t delta) {
    Cursor& t2 = data_.tblTimer2;
    atRest_.reset();
    if (!t2.active() || t2.state() != DatasetState::Browse || t2.ReadOnly()) return;
    const JobFields& f = data_.tblTimer2Fields;
    // Starts are moved in UTC: a day back across a switch of summer time is
    // 24 hours, not the same wall time. Each is read as before the change.
    const ClockReading now = clock_.Read();
    const int64_t before = now.utc - delta;
    const std::vector<engine::TimedRow> rows =
        t2.FindTimedRows(DueLookup(), std::nullopt, DateTime{INT64_MAX}, 0, t2.LastRowId());
    bool changed = false;
    for (const engine::TimedRow& row : rows) {
        if (row.time == DateTime{} || !t2.Seek(row.rowid) || t2.RowLocked()) continue;
        t2.Edit();
        if (!MissingRequired(t2).empty()) {
            t2.Cancel();  // the scan switches it off
            continue;
        }
        const StartMode mode = IsYes(f.Intervall->AsString()) ? StartMode::Interval : StartMode::Fixed;
        const DateTime start = f.Startzeit->AsDateTime();
        const DateTime moved = ToLocal(now.zone, ToUtc(now.zone, start, before) + delta);
        f.Startzeit->SetAsDateTime(CorrectedStart(f.Wochentag->AsString(), f.Uhrzeit->AsTime(), mode, start, moved));
        t2.Post();
        changed = true;
    }
    if (changed) RefreshEditor();
}

void Scheduler::NotifyFailures() noexcept {
    if (failures_.count == 0) return;
    try {
        ui_.NotifyFailures(failures_);
    } catch (...) {
        // A notice that cannot be shown leaves the run log as the record.
    }
    failures_ = TickFailures{};
}

std::string Scheduler::TimerTable() const { return "Timertabelle " + data_.TimerTablePath(); }
std::string Scheduler::LogTable() const { return "Logtabelle " + data_.LogTablePath(); }
std::string Scheduler::TableName(Place place) const { return place == kLogPlace ? LogTable() : TimerTable(); }

void Scheduler::Say(const std::string& notice) noexcept {
    try {
        ui_.ShowNotice(notice);
    } catch (...) {
    }
}

void Scheduler::FollowTableFiles() noexcept {
    for (JobTable table : {JobTable::Timer, JobTable::Log}) {
        const Place place = table == JobTable::Timer ? kTimerPlace : kLogPlace;
        try {
            const std::vector<std::string> notices = data_.FollowTableFile(table);
            if (notices.empty()) continue;
            atRest_.reset();  // other rows now
            for (const std::string& n : notices) Say(n);
        } catch (const std::exception& e) {
            atRest_.reset();
            Trouble(place, e);
        }
    }
}

void Scheduler::FlushLog() noexcept {
    bool repaired = false;
    bool wrote = false;
    while (!unlogged_.empty() && data_.tblLog.active()) {
        try {
            const Unlogged& u = unlogged_.front();
            data_.AppendLogEntry(u.pfad, u.result, u.when);
        } catch (const std::exception& e) {
            // A repaired run log takes them at once; anything else waits.
            const bool again = Trouble(kLogPlace, e) && !repaired;
            repaired = true;
            if (again) continue;
            return;
        }
        unlogged_.pop_front();
        wrote = true;
    }
    if (!wrote || !unlogged_.empty()) return;
    Cleared(kLogPlace);
    if (unloggedDropped_ > 0) {
        Say(std::to_string(unloggedDropped_) + " weitere Fehler konnten nicht in die " + LogTable() +
            " eingetragen werden: Sie nahm zu lange nichts an.");
        unloggedDropped_ = 0;
    }
}

bool Scheduler::Trouble(Place place, const std::exception& error) noexcept {
    try {
        const auto* engineError = dynamic_cast<const engine::EngineError*>(&error);
        const engine::ErrorCode code = engineError ? engineError->code() : engine::ErrorCode::Generic;
        // Errors of the scan that are no table's (an action that threw) stand alone.
        std::string text = engineError || place != kTimerPlace ? TableName(place) + ": " + error.what()
                                                               : std::string(error.what());
        PlaceState& s = places_[place];
        if (code == engine::ErrorCode::Busy) {
            if (s.busyTick != tickNo_) {
                s.busyTick = tickNo_;
                ++s.busyTicks;
            }
            if (s.busyTicks < kBusyTicksBeforeBox) return false;  // tried again at the next tick
        }
        if (engineError && (code == engine::ErrorCode::Damaged || code == engine::ErrorCode::Generic) &&
            text != s.shown && !s.repairFailed) {
            const std::string notice =
                data_.RepairIfDamaged(place == kLogPlace ? JobTable::Log : JobTable::Timer, error.what());
            if (!notice.empty()) {
                atRest_.reset();
                Cleared(place);
                Say(notice);
                return true;
            }
        }
        const char* still = place == kLogPlace ? "; die Fehler werden eingetragen, sobald "
                                               : "; f\xe4llige Jobs starten, sobald ";
        if (code == engine::ErrorCode::Busy && place != kEditorPlace)
            text += std::string(". Ein anderes Programm h\xe4lt die Tabelle") + still + "sie wieder frei ist.";
        if (code == engine::ErrorCode::Full && place != kEditorPlace)
            text += std::string(". Der Datentr\xe4ger ist voll") + still + "wieder Platz ist.";
        if (text != s.shown) {
            s.shown = text;
            ui_.ShowError(text);
        }
    } catch (const std::exception& e) {
        // The repair itself failed: that is what the user hears of, once, and
        // it is not tried again (each try would leave one more backup) until
        // the table works again.
        try {
            PlaceState& s = places_[place];
            s.repairFailed = true;
            const std::string text = TableName(place) + ": " + e.what();
            if (text != s.shown) {
                s.shown = text;
                ui_.ShowError(text);
            }
        } catch (...) {
        }
    } catch (...) {
    }
    return false;
}

void Scheduler::Cleared(Place place) { places_[place] = PlaceState{}; }

bool Scheduler::IsDue(const ClockReading& now) const {
    const JobFields& f = data_.tblTimer2Fields;
    return HasPassed(now, f.Startzeit->AsDateTime()) && f.Aktiv->AsString() == "Y";
}

// Visits the rows a walk over the whole table would run, in its order, at the
// clock it would read there, without reading the other rows: the active rows
// whose start had passed when the scan began, as they were then, and the
// ones whose start passes while it goes on. A tick in which nothing was
// written and no active start has passed since the last scan reads nothing.
void Scheduler::Scan() {
    Cursor& t2 = data_.tblTimer2;
    const engine::TableStamp stamp = t2.Stamp();
    // Rows are looked up by their stored local start up to the latest that
    // may have passed; whether one has is then decided in UTC.
    DateTime seen = LatestPassedLocal(clock_.Read());
    if (atRest_ && atRest_->stamp == stamp && !(seen > atRest_->earliest)) return;
    atRest_.reset();

    const engine::TimeLookup due = DueLookup();
    const int64_t last = t2.LastRowId();  // rows put in meanwhile are not visited
    std::vector<engine::TimedRow> rows = t2.FindTimedRows(due, std::nullopt, seen, 0, last);
    int64_t visited = 0;
    bool ran = false;
    for (size_t next = 0;;) {
        // Read per row: a long action earlier in the scan moves the clock on.
        const ClockReading now = clock_.Read();
        const DateTime limit = LatestPassedLocal(now);
        if (limit > seen) {
            MergeLater(rows, next, t2.FindTimedRows(due, seen, limit, visited, last));
            seen = limit;
        }
        if (next == rows.size()) break;
        const engine::TimedRow row = rows[next++];
        visited = row.rowid;
        // Due as the row was when the scan began (the clock may have gone back).
        if (!HasPassed(now, row.time) || !t2.Seek(row.rowid) || t2.RowLocked()) continue;
        ran = true;
        RunDueRow(now);
    }
    // Other users' changes, seen once after the scan rather than after each job.
    if (ran) RefreshEditor();
    const engine::TableStamp after = t2.Stamp();
    atRest_ = AtRest{after, t2.EarliestTime(due).value_or(DateTime{INT64_MAX})};
}

void Scheduler::RunDueRow(const ClockReading& now) {
    Cursor& t2 = data_.tblTimer2;
    const JobFields& f = data_.tblTimer2Fields;
    t2.Edit();
    // Edit read the row again. The due test above used what the scan's
    // refresh read; an earlier job's action may have let the user switch this
    // one off or move its start meanwhile.
    if (!IsDue(now)) {
        t2.Cancel();
        return;
    }
    const int64_t row = t2.RowId();
    const std::string pfad = f.Pfad->AsString();

    // A row the editor would never have posted (put in by another tool, or
    // damaged) cannot be rescheduled: it fails once, alone, and is switched
    // off, and the scan goes on.
    const std::vector<engine::Field*> lacking = MissingRequired(t2);
    if (!lacking.empty()) {
        PostSwitchedOff(t2, *f.Aktiv, lacking);
        RefreshEditor(row);
        HandleFailure(pfad.empty() ? "(ohne Pfad)" : pfad, lacking.front()->name() + " fehlt: ausgeschaltet");
        ReturnTo(row);
        return;
    }

    const std::string skipped = BoundCatchUp(now);
    // Base: the stored start for catch-up, else now. A rule that cannot move
    // the start forward switches the job off after this run instead of making
    // it due at every tick; the run log says so.
    const bool switchedOff = RescheduleJob(t2, now);
    const std::string stuck = switchedOff ? StuckRuleReason(t2) + ": ausgeschaltet" : std::string();
    t2.Post();
    // Stored before the action runs: a failing, hanging or shutting-down
    // action does not leave the job due.
    RefreshEditor(row);

    const std::string result = RunAction(pfad);
    // The countdown and the mail client let messages through; "&Starten" may
    // have moved the scheduler cursor meanwhile. Go on from this job's row.
    ReturnTo(row);
    if (!actions::IsOK(result)) {
        HandleFailure(pfad, result);
        ReturnTo(row);
    }
    if (switchedOff) {
        HandleFailure(pfad, stuck);
        ReturnTo(row);
    }
    if (!skipped.empty()) {
        HandleFailure(pfad, skipped);
        ReturnTo(row);
    }
}

std::string Scheduler::BoundCatchUp(const ClockReading& now) {
    const JobFields& f = data_.tblTimer2Fields;
    if (!IsYes(f.nacholen->AsString())) return {};
    const DateTime stored = f.Startzeit->AsDateTime();
    if (stored == DateTime{}) return {};  // counted from now anyway
    const std::string rule = f.Wochentag->AsString();
    const TimeOfDay time = f.Uhrzeit->AsTime();
    const StartMode mode = IsYes(f.Intervall->AsString()) ? StartMode::Interval : StartMode::Fixed;
    // The passed starts from the stored one on; the last kCatchUpLimit kept.
    DateTime kept[kCatchUpLimit];
    int count = 0;
    for (DateTime at = stored;;) {
        kept[count % kCatchUpLimit] = at;
        if (++count > kMissedCountLimit) break;
        const DateTime next = CalcNextStart(rule, time, mode, at, now);
        if (!(next > at) || !HasPassed(now, next)) break;
        at = next;
    }
    if (count <= kCatchUpLimit) return {};
    std::string text;
    if (count > kMissedCountLimit) {
        // Too far behind to count: this run stands for all of them, and the
        // next start is counted from now.
        f.Startzeit->SetAsDateTime(now.local);
        text = "ü" "ber " + std::to_string(kMissedCountLimit) + " nicht nachgeholt";
    } else {
        f.Startzeit->SetAsDateTime(kept[count % kCatchUpLimit]);
        text = std::to_string(count - kCatchUpLimit) + " Starts nicht nachgeholt";
    }
    return text;
}

void Scheduler::RefreshEditor(int64_t row) {
    // So the grid shows the new start. The refresh first posts a pending edit
    // of the grid; when that fails (an incomplete row), the job still runs
    // and the error is shown at the end of the tick.
    if (!data_.tblTimer.active()) return;
    try {
        data_.tblTimer.RefreshRow(row);
        Cleared(kEditorPlace);
    } catch (const std::exception& e) {
        Trouble(kEditorPlace, e);
    }
}

void Scheduler::RefreshEditor() {
    if (!data_.tblTimer.active()) return;
    try {
        data_.tblTimer.Refresh();
        Cleared(kEditorPlace);
    } catch (const std::exception& e) {
        Trouble(kEditorPlace, e);
    }
}

void Scheduler::ReturnTo(int64_t row) {
    Cursor& t2 = data_.tblTimer2;
    if (!t2.active() || t2.state() != DatasetState::Browse) return;
    if (!t2.Eof() && t2.RowId() == row) return;
    t2.Seek(row);
}

std::string Scheduler::RunAction(const std::string& pfad) {
    if (const auto op = actions::ShutdownOperation(pfad)) {
        if (!actions_.ConfirmShutdownCountdown()) return actions::kCancelled;
        return actions_.ShutdownSystem(op->Reboot, op->Force, op->PowerOff);
    }
    return actions_.RunJobAction(data_.tblTimer2Fields.Read());
}

void Scheduler::HandleFailure(const std::string& pfad, const std::string& result) {
    // A run log that cannot be written (reported at start-up) takes nothing;
    // one that fails now gets the entry at a later tick, with this moment.
    // Neither swallows the failure: it is still mailed and indicated.
    if (!data_.tblLog.ReadOnly()) {
        if (unlogged_.size() < kMaxUnlogged)
            unlogged_.push_back(Unlogged{pfad, result, clock_.Now()});
        else
            ++unloggedDropped_;
        FlushLog();
    }
    const std::string address = ui_.MailAddress();
    if (actions::ShouldSendErrorMail(address, ui_.MailFirstErrorOnly(), ui_.ErrorIndicator())) {
        // The mail's own result is of no interest: a failed mail leaves no trace.
        actions_.SendErrorMail({actions::kErrorMailSubject,
                                actions::ErrorMailBody(computerName_, pfad, result), computerName_,
                                computerName_, address, address, "", ""});
    }
    ui_.LightErrorIndicator();
    if (failures_.count++ == 0) {
        failures_.pfad = pfad;
        failures_.result = result;
    }
}

void Scheduler::Rearm() {
    if (IsOn()) ui_.SetTimerEnabled(true);
}

void Scheduler::Blink() {
    if (ui_.AktivFlat()) {
        ui_.SetAktivFlat(false);
        ui_.ShowTrayIcon(TrayLook::Idle);
    } else {
        ui_.SetAktivFlat(true);
        ui_.ShowTrayIcon(ui_.ErrorIndicator() ? TrayLook::Error : TrayLook::Blink);
    }
}

void Scheduler::CancelSchedulerEdit() noexcept {
    try {
        Cursor& t2 = data_.tblTimer2;
        if (t2.state() == DatasetState::Edit || t2.state() == DatasetState::Insert) t2.Cancel();
    } catch (...) {
        // The error box says what went wrong first.
    }
}

void Scheduler::Toggle() {
    on_ = !on_;
    if (!on_) {
        ui_.SetTimerEnabled(false);
        ui_.SetAktivFlat(false);
        ui_.ShowOnOff(false);
        ui_.ShowTrayIcon(TrayLook::Idle);
    } else {
        // Inside a tick the tick switches the timer on at its end.
        if (!inTick_) ui_.SetTimerEnabled(true);
        ui_.ShowOnOff(true);
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
        const ClockReading now = clock_.Read();
        data_.tblTimerFields.Startzeit->SetAsDateTime(CalcNextStart(t, now.local, now));
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
