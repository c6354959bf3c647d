#include "rules/NextStart.h"

#include "engine/TimeZone.h"
#include "schema/JobSchema.h"

namespace qv {

DateTime CalcNextStart(engine::Cursor& job, DateTime base) { return CalcNextStart(job, base, ReadingAt(base)); }

DateTime CalcNextStart(engine::Cursor& job, DateTime base, const ClockReading& now) {
    const std::string rule = job.FieldByName(schema::job::kWochentag).AsString();
    const TimeOfDay time = job.FieldByName(schema::job::kUhrzeit).AsTime();
    const StartMode mode =
        IsYes(job.FieldByName(schema::job::kIntervall).AsString()) ? StartMode::Interval : StartMode::Fixed;
    return CalcNextStart(rule, time, mode, base, now);
}

DateTime NextStartBase(engine::Cursor& job, const ClockReading& now) {
    if (!IsYes(job.FieldByName(schema::job::kNacholen).AsString())) return now.local;
    const engine::Field& start = job.FieldByName(schema::job::kStartzeit);
    if (start.IsNull() || start.AsDateTime() == DateTime{}) return now.local;
    return start.AsDateTime();
}

bool StoreNextStart(engine::Cursor& job, DateTime base, const ClockReading& now) {
    const DateTime next = CalcNextStart(job, base, now);
    job.FieldByName(schema::job::kStartzeit).SetAsDateTime(next);
    if (next > base || ToUtc(now.zone, next, now.utc) > now.utc) return false;
    job.FieldByName(schema::job::kAktiv).SetAsString(schema::kNo);
    return true;
}

bool RescheduleJob(engine::Cursor& job, const ClockReading& now) {
    return StoreNextStart(job, NextStartBase(job, now), now);
}

std::string StuckRuleReason(engine::Cursor& job) {
    return NoLaterStartReason(job.FieldByName(schema::job::kWochentag).AsString());
}

std::string StuckRuleNotice(engine::Cursor& job) {
    const std::string rule = job.FieldByName(schema::job::kWochentag).AsString();
    const std::string why =
        NamesNoWeekday(rule)
            ? "Die Tagesregel \"" + rule + "\" nennt keinen Wochentag"
            : "Das Intervall 00:00 bei der Tagesregel \"" + rule + "\" r\xfc" "ckt den Start nicht weiter";
    return why + ". Der Job wurde ausgeschaltet (Aktiv = N) und wird nicht wieder gestartet, "
                 "bis Sie die Regel \xe4ndern und ihn wieder einschalten.";
}

}  // namespace qv
