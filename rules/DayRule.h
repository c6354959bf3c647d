// Day rules and the next start of a job, as a pure computation.
//
// A day rule is the text stored in a job's Wochentag field: weekday
// abbreviations ("MoMiFr"), a named form ("Jeden Tag", "Mo-Fr", "Montag", ...),
// "Monatlich", or any other text. Comparisons are exact and case-sensitive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/DateTime.h"

namespace qv {

// A set of weekdays, bit n set for weekday n (1 = Sunday ... 7 = Saturday).
using WeekdaySet = uint8_t;

constexpr WeekdaySet WeekdayBit(int dayOfWeek) {
    return static_cast<WeekdaySet>(1u << dayOfWeek);
}
constexpr bool HasWeekday(WeekdaySet set, int dayOfWeek) {
    return (set & WeekdayBit(dayOfWeek)) != 0;
}

// The weekdays a rule names: those of a named form the whole text equals,
// plus every weekday whose two-letter abbreviation occurs anywhere in it.
WeekdaySet WeekdaysOfRule(const std::string& rule);

// Exactly "Monatlich".
bool IsMonthlyRule(const std::string& rule);

// A Y/N flag means yes for exactly "Y".
inline bool IsYes(const std::string& flag) { return flag == "Y"; }

enum class StartMode { Fixed, Interval };

// The next start of a job counted from base.
//  - Monthly: the same day of the next month (or that month's last day) at time.
//  - Fixed: the first allowed day at time strictly after base, at most 7 days on.
//  - Interval: base + time, moved on by whole days until it falls on an
//    allowed day.
// Returns base itself when the rule names no weekday. The result is never
// earlier than base.
DateTime CalcNextStart(const std::string& rule, TimeOfDay time, StartMode mode, DateTime base);
// The same in the zone of a clock reading: an interval is elapsed time, so it
// keeps its length across the switches of summer time (base read as the
// moment nearer to now where its wall time happens twice); fixed times, whole
// days and months keep their wall-clock meaning.
DateTime CalcNextStart(const std::string& rule, TimeOfDay time, StartMode mode, DateTime base,
                       const ClockReading& now);

// A job's start once the clock was set, so that the start keeps its distance
// from now: moved is the start moved by the change (the caller moves it in
// UTC, across the switches of summer time). An interval job's start is moved.
// A fixed-time job's goes to the start of its rule nearest to moved (of two as
// near the later), and a monthly job's to the nearest same day of a month at
// its time, so both keep their days and time of day.
DateTime CorrectedStart(const std::string& rule, TimeOfDay time, StartMode mode, DateTime start, DateTime moved);

// The next count starts from base, each counted from the one before, as the
// tick would store them run after run. A rule that cannot move a start on
// repeats it; the caller decides how to show that.
std::vector<DateTime> NextStarts(const std::string& rule, TimeOfDay time, StartMode mode, DateTime base,
                                 int count);

// A rule that cannot move a start on names no weekday (and is not monthly),
// or counts an interval of nothing. The run log's words for each.
bool NamesNoWeekday(const std::string& rule);
const char* NoLaterStartReason(const std::string& rule);

}  // namespace qv
