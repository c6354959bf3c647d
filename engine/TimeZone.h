// Local wall-clock date-times against UTC, by the rules of a time zone.
//
// Stored start times are local wall-clock text. Twice a year that text is not
// one moment: in spring an hour of it never happens, in autumn an hour of it
// happens twice. These functions say which moment a stored time means.
#pragma once

#include <cstdint>

#include "engine/DateTime.h"

namespace qv {

// Local minus UTC, in milliseconds, at a UTC moment.
int64_t UtcOffsetMs(const TimeZoneRules& zone, int64_t utc);
DateTime ToLocal(const TimeZoneRules& zone, int64_t utc);

// The UTC moment a local date-time means:
// - a time of the repeated autumn hour: of its two moments the one nearer to
//   near (so a start stored a minute ago for a minute ahead means a minute
//   ahead, on either side of the switch);
// - a time of the spring hour that is skipped: the moment of the switch, so a
//   start inside it is due as the clock jumps over it.
int64_t ToUtc(const TimeZoneRules& zone, DateTime local, int64_t near);

// A start has passed at a reading: its moment lies strictly before it.
bool HasPassed(const ClockReading& now, DateTime start);

// The latest stored local time that may have passed at a reading: the local
// time itself, or during the repeated hour the end of it.
DateTime LatestPassedLocal(const ClockReading& now);

// A reading of a FakeClock-like clock that only knows local time: UTC equal
// to local time, no switches.
ClockReading ReadingAt(DateTime local);

}  // namespace qv
