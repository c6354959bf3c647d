#include <gtest/gtest.h>

#include "engine/TimeZone.h"
#include "tests/engine/Zones.h"

namespace qv {
namespace {

DateTime At(int y, int mo, int d, int h, int mi = 0, int s = 0) { return MakeDateTime(y, mo, d, h, mi, s); }
int64_t Utc(int y, int mo, int d, int h, int mi = 0, int s = 0) { return At(y, mo, d, h, mi, s).ms; }

TEST(TimeZoneTest, LocalTimeAroundTheSwitches) {
    struct Case {
        TimeZoneRules zone;
        int64_t utc;
        DateTime local;
    } cases[] = {
        {test::Berlin(), Utc(2026, 1, 15, 12), At(2026, 1, 15, 13)},
        {test::Berlin(), Utc(2026, 3, 29, 0, 59, 59), At(2026, 3, 29, 1, 59, 59)},
        {test::Berlin(), Utc(2026, 3, 29, 1), At(2026, 3, 29, 3)},  // 02:00 CET is 03:00 CEST
        {test::Berlin(), Utc(2026, 10, 25, 0, 59, 59), At(2026, 10, 25, 2, 59, 59)},
        {test::Berlin(), Utc(2026, 10, 25, 1), At(2026, 10, 25, 2)},  // back to 02:00 CET
        {test::Sydney(), Utc(2026, 1, 15, 0), At(2026, 1, 15, 11)},   // summer across new year
        {test::Sydney(), Utc(2026, 7, 15, 0), At(2026, 7, 15, 10)},
        {TimeZoneRules{}, Utc(2026, 3, 29, 1), At(2026, 3, 29, 1)},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatDateTime(ToLocal(c.zone, c.utc)), FormatDateTime(c.local));
}

TEST(TimeZoneTest, SkippedTimeMeansTheSwitchAndRepeatedTimeTheNearerMoment) {
    const TimeZoneRules z = test::Berlin();
    // Spring: 02:30 never happens; it means the jump at 01:00 UTC.
    EXPECT_EQ(ToUtc(z, At(2026, 3, 29, 2, 30), Utc(2026, 3, 29, 0)), Utc(2026, 3, 29, 1));
    // Autumn: 02:30 happens at 00:30 and at 01:30 UTC.
    EXPECT_EQ(ToUtc(z, At(2026, 10, 25, 2, 30), Utc(2026, 10, 25, 0, 20)), Utc(2026, 10, 25, 0, 30));
    EXPECT_EQ(ToUtc(z, At(2026, 10, 25, 2, 30), Utc(2026, 10, 25, 1, 20)), Utc(2026, 10, 25, 1, 30));
    // A minute ahead of 02:59:30 CEST is 02:00:30 CET, not an hour back.
    ClockReading r;
    r.zone = z;
    r.utc = Utc(2026, 10, 25, 0, 59, 30);
    r.local = ToLocal(z, r.utc);
    EXPECT_FALSE(HasPassed(r, At(2026, 10, 25, 2, 0, 30)));
    EXPECT_TRUE(HasPassed(r, At(2026, 10, 25, 2, 58)));
    // Inside the repeated hour stored times up to its end are looked at.
    EXPECT_EQ(LatestPassedLocal(r), At(2026, 10, 25, 3, 59, 30));
    r.utc = Utc(2026, 10, 25, 2);
    r.local = ToLocal(z, r.utc);
    EXPECT_EQ(LatestPassedLocal(r), r.local);
}

}  // namespace
}  // namespace qv
