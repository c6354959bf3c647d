#include "rules/DayRule.h"

#include "engine/TimeZone.h"

#include <algorithm>
#include <optional>

namespace qv {

namespace {

constexpr int kSunday = 1, kMonday = 2, kTuesday = 3, kWednesday = 4, kThursday = 5,
              kFriday = 6, kSaturday = 7;

struct NamedForm {
    const char* text;
    WeekdaySet days;
};

constexpr WeekdaySet kWorkdays = WeekdayBit(kMonday) | WeekdayBit(kTuesday) |
                                 WeekdayBit(kWednesday) | WeekdayBit(kThursday) |
                                 WeekdayBit(kFriday);
constexpr WeekdaySet kWeekend = WeekdayBit(kSaturday) | WeekdayBit(kSunday);

const NamedForm kNamedForms[] = {
    {"Sonntag", WeekdayBit(kSunday)},
    {"Montag", WeekdayBit(kMonday)},
    {"Dienstag", WeekdayBit(kTuesday)},
    {"Mittwoch", WeekdayBit(kWednesday)},
    {"Donnerstag", WeekdayBit(kThursday)},
    {"Freitag", WeekdayBit(kFriday)},
    {"Samstag", WeekdayBit(kSaturday)},
    {"Jeden Tag", kWorkdays | kWeekend},
    {"Mo-Fr", kWorkdays},
    {"Sa+So", kWeekend},
};

const NamedForm kAbbreviations[] = {
    {"Mo", WeekdayBit(kMonday)},   {"Di", WeekdayBit(kTuesday)},
    {"Mi", WeekdayBit(kWednesday)}, {"Do", WeekdayBit(kThursday)},
    {"Fr", WeekdayBit(kFriday)},   {"Sa", WeekdayBit(kSaturday)},
    {"So", WeekdayBit(kSunday)},
};

DateTime NextMonthly(TimeOfDay time, DateTime base) {
    const CivilDateTime c = ToCivil(base);
    int year = c.year;
    int month = c.month + 1;
    if (month > 12) {
        month = 1;
        ++year;
    }
    int day = c.day;
    const int last = DaysInMonth(year, month);
    if (day > last) day = last;
    return MakeDateTime(year, month, day) + time;
}

}  // namespace

WeekdaySet WeekdaysOfRule(const std::string& rule) {
    WeekdaySet set = 0;
    for (const NamedForm& form : kNamedForms) {
        if (rule == form.text) set |= form.days;
    }
    for (const NamedForm& abbr : kAbbreviations) {
        if (rule.find(abbr.text) != std::string::npos) set |= abbr.days;
    }
    return set;
}

bool IsMonthlyRule(const std::string& rule) { return rule == "Monatlich"; }

DateTime CalcNextStart(const std::string& rule, TimeOfDay time, StartMode mode, DateTime base) {
    return CalcNextStart(rule, time, mode, base, ReadingAt(base));
}

DateTime CalcNextStart(const std::string& rule, TimeOfDay time, StartMode mode, DateTime base,
                       const ClockReading& now) {
    if (IsMonthlyRule(rule)) return NextMonthly(time, base);

    const WeekdaySet days = WeekdaysOfRule(rule);
    const DateTime day0 = DatePart(base);
    const DateTime afterInterval =
        mode == StartMode::Interval ? ToLocal(now.zone, ToUtc(now.zone, base, now.utc) + time.ms) : base;
    for (int offset = 0; offset <= 7; ++offset) {
        if (mode == StartMode::Interval) {
            const DateTime candidate = AddDays(afterInterval, offset);
            if (HasWeekday(days, DayOfWeek(candidate))) return candidate;
        } else {
            const DateTime candidate = AddDays(day0, offset) + time;
            if (HasWeekday(days, DayOfWeek(candidate)) && candidate > base) return candidate;
        }
    }
    return base;
}

namespace {

DateTime Nearer(DateTime to, DateTime before, DateTime after) {
    return to.ms - before.ms < after.ms - to.ms ? before : after;
}

DateTime NearestMonthly(TimeOfDay time, int day, DateTime to) {
    const CivilDateTime c = ToCivil(to);
    std::optional<DateTime> before, after;
    for (int m = -1; m <= 1; ++m) {
        int year = c.year, month = c.month + m;
        if (month < 1) month += 12, --year;
        if (month > 12) month -= 12, ++year;
        if (year < 1 || year > 9999) continue;
        const DateTime at = MakeDateTime(year, month, std::min(day, DaysInMonth(year, month))) + time;
        if (at <= to) before = at;
        if (at >= to && !after) after = at;
    }
    if (!before) return after.value_or(to);
    if (!after) return *before;
    return Nearer(to, *before, *after);
}

}  // namespace

DateTime CorrectedStart(const std::string& rule, TimeOfDay time, StartMode mode, DateTime start, DateTime moved) {
    if (IsMonthlyRule(rule)) return NearestMonthly(time, ToCivil(start).day, moved);
    if (mode == StartMode::Interval || NamesNoWeekday(rule)) return moved;
    const DateTime after = CalcNextStart(rule, time, StartMode::Fixed, DateTime{moved.ms - 1});
    // Eight days back there is a start of every rule that names a weekday.
    DateTime before = CalcNextStart(rule, time, StartMode::Fixed, AddDays(moved, -8));
    for (DateTime next; (next = CalcNextStart(rule, time, StartMode::Fixed, before)) <= moved;) before = next;
    return Nearer(moved, before, after);
}

std::vector<DateTime> NextStarts(const std::string& rule, TimeOfDay time, StartMode mode, DateTime base,
                                 int count) {
    std::vector<DateTime> starts;
    starts.reserve(count > 0 ? static_cast<size_t>(count) : 0);
    for (DateTime at = base; static_cast<int>(starts.size()) < count;) {
        at = CalcNextStart(rule, time, mode, at);
        starts.push_back(at);
    }
    return starts;
}

bool NamesNoWeekday(const std::string& rule) { return !IsMonthlyRule(rule) && WeekdaysOfRule(rule) == 0; }

const char* NoLaterStartReason(const std::string& rule) {
    return NamesNoWeekday(rule) ? "kein Wochentag" : "Intervall 00:00";
}

}  // namespace qv
