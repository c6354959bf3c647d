#include "engine/TimeZone.h"

#include <algorithm>
#include <cstdlib>

namespace qv {

namespace {

constexpr int64_t kMsPerMinuteZ = 60 * 1000;

// The local date-time of a switch in a year: the week-th dayOfWeek of its
// month (week 5: the last one), at its hour and minute.
DateTime SwitchLocal(const ZoneSwitch& s, int year) {
    const int64_t first = DaysFromCivil(year, s.month, 1);
    // DayOfWeek counts 1 = Sunday; Windows' dayOfWeek 0 = Sunday.
    const int firstDow = DayOfWeek(DateTime{first * kMsPerDay}) - 1;
    int day = 1 + (s.dayOfWeek - firstDow + 7) % 7 + 7 * (std::max(1, std::min(s.week, 5)) - 1);
    while (day > DaysInMonth(year, s.month)) day -= 7;
    return MakeDateTime(year, s.month, day, s.hour, s.minute);
}

int64_t StandardUtcMinusLocal(const TimeZoneRules& z) { return (z.bias + z.standardBias) * kMsPerMinuteZ; }
int64_t DaylightUtcMinusLocal(const TimeZoneRules& z) { return (z.bias + z.daylightBias) * kMsPerMinuteZ; }

// The UTC moments of a year's switches to summer time and back.
int64_t ToDaylightUtc(const TimeZoneRules& z, int year) {
    return SwitchLocal(z.daylightDate, year).ms + StandardUtcMinusLocal(z);
}
int64_t ToStandardUtc(const TimeZoneRules& z, int year) {
    return SwitchLocal(z.standardDate, year).ms + DaylightUtcMinusLocal(z);
}

bool InDaylightTime(const TimeZoneRules& z, int64_t utc) {
    if (!z.HasDaylightTime()) return false;
    const int year = ToCivil(DateTime{utc - z.bias * kMsPerMinuteZ}).year;
    if (year < 2 || year > 9998) return false;
    const int64_t on = ToDaylightUtc(z, year), off = ToStandardUtc(z, year);
    // Northern zones have summer inside the year, southern ones around its turn.
    return on < off ? (utc >= on && utc < off) : (utc < off || utc >= on);
}

}  // namespace

int64_t UtcOffsetMs(const TimeZoneRules& zone, int64_t utc) {
    return -(InDaylightTime(zone, utc) ? DaylightUtcMinusLocal(zone) : StandardUtcMinusLocal(zone));
}

DateTime ToLocal(const TimeZoneRules& zone, int64_t utc) { return DateTime{utc + UtcOffsetMs(zone, utc)}; }

int64_t ToUtc(const TimeZoneRules& zone, DateTime local, int64_t near) {
    const int64_t asStandard = local.ms + StandardUtcMinusLocal(zone);
    if (!zone.HasDaylightTime()) return asStandard;
    const int64_t asDaylight = local.ms + DaylightUtcMinusLocal(zone);
    const bool standardFits = ToLocal(zone, asStandard) == local;
    const bool daylightFits = ToLocal(zone, asDaylight) == local;
    if (standardFits && daylightFits)
        return std::llabs(asStandard - near) < std::llabs(asDaylight - near) ? asStandard : asDaylight;
    if (standardFits) return asStandard;
    if (daylightFits) return asDaylight;
    // Skipped: the switch lies between the two readings. Find it to the
    // millisecond (the offset changes once in so short a span).
    int64_t lo = std::min(asStandard, asDaylight), hi = std::max(asStandard, asDaylight);
    const bool loDaylight = InDaylightTime(zone, lo);
    while (hi - lo > 1) {
        const int64_t mid = lo + (hi - lo) / 2;
        (InDaylightTime(zone, mid) == loDaylight ? lo : hi) = mid;
    }
    return hi;
}

bool HasPassed(const ClockReading& now, DateTime start) {
    return now.utc > ToUtc(now.zone, start, now.utc);
}

DateTime LatestPassedLocal(const ClockReading& now) {
    const TimeZoneRules& z = now.zone;
    if (!z.HasDaylightTime()) return now.local;
    const int64_t repeat = std::llabs(StandardUtcMinusLocal(z) - DaylightUtcMinusLocal(z));
    // The same wall time an hour earlier or later is also now: inside the
    // repeated hour, stored times up to its end may mean a moment past.
    const bool repeated = ToUtc(z, now.local, now.utc - repeat) != ToUtc(z, now.local, now.utc + repeat);
    return repeated ? DateTime{now.local.ms + repeat} : now.local;
}

ClockReading ReadingAt(DateTime local) {
    ClockReading r;
    r.local = local;
    r.utc = local.ms;
    return r;
}

}  // namespace qv
