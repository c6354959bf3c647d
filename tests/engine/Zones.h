// Time zones as Windows describes them, for tests that move through a switch.
#pragma once

#include "engine/DateTime.h"

namespace qv::test {

// Central Europe: summer time from the last Sunday of March 02:00 to the last
// Sunday of October 03:00 (in 2026: 29 March and 25 October).
inline TimeZoneRules Berlin() {
    TimeZoneRules z;
    z.bias = -60;
    z.daylightBias = -60;
    z.standardDate = ZoneSwitch{10, 0, 5, 3, 0};
    z.daylightDate = ZoneSwitch{3, 0, 5, 2, 0};
    return z;
}

// Eastern Australia: summer time around the turn of the year, from the first
// Sunday of October 02:00 to the first Sunday of April 03:00.
inline TimeZoneRules Sydney() {
    TimeZoneRules z;
    z.bias = -600;
    z.daylightBias = -60;
    z.standardDate = ZoneSwitch{4, 0, 1, 3, 0};
    z.daylightDate = ZoneSwitch{10, 0, 1, 2, 0};
    return z;
}

}  // namespace qv::test
