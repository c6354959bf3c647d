#include <gtest/gtest.h>

#include "engine/DateTime.h"

namespace qv {
namespace {

TEST(DateTime, EpochAndWeekdays) {
    EXPECT_EQ(MakeDateTime(1899, 12, 30).ms, 0);
    EXPECT_EQ(DayOfWeek(DateTime{0}), 7);                     // Saturday
    EXPECT_EQ(DayOfWeek(MakeDateTime(2024, 5, 15, 10)), 4);   // Wednesday
    EXPECT_EQ(DayOfWeek(MakeDateTime(2024, 5, 19, 23, 59)), 1);  // Sunday
    EXPECT_EQ(MakeDateTime(1900, 1, 1).ms, 2 * kMsPerDay);
}

TEST(DateTime, CivilRoundTripAcrossLeapYears) {
    for (int64_t d = 0; d < 200 * 366; d += 17) {
        const CivilDate c = CivilFromDays(d);
        ASSERT_TRUE(IsValidDate(c.year, c.month, c.day)) << d;
        ASSERT_EQ(DaysFromCivil(c.year, c.month, c.day), d);
    }
    EXPECT_EQ(DaysInMonth(2024, 2), 29);
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
}

TEST(DateTime, StorageFormsRoundTrip) {
    const DateTime dt = MakeDateTime(2024, 2, 29, 23, 59, 58, 7);
    EXPECT_EQ(FormatDateTime(dt), "2024-02-29 23:59:58.007");
    EXPECT_EQ(ParseDateTime(FormatDateTime(dt)), dt);
    EXPECT_EQ(FormatTime(MakeTime(8, 0, 0, 700)), "08:00:00.700");
    EXPECT_EQ(ParseTime("08:00:00.700")->ms, MakeTime(8, 0, 0, 700).ms);
    EXPECT_EQ(ParseDateTime("2024-05-15 10:00")->ms, MakeDateTime(2024, 5, 15, 10).ms);
}

TEST(DateTime, ParseRejectsMalformedInput) {
    for (const char* bad : {"2023-02-29 10:00", "2024-13-01 00:00", "2024-05-15 24:00",
                            "2024-05-15 10:60", "2024-05-15", "2024-5-15 10:00",
                            "2024-05-15 10:00:00.5", "2024-05-15  10:00", "2024-05-15 10:00 "}) {
        EXPECT_FALSE(ParseDateTime(bad).has_value()) << bad;
    }
    for (const char* bad : {"25:00", "7:00", "07:00:60", "", "07:00:00."}) {
        EXPECT_FALSE(ParseTime(bad).has_value()) << bad;
    }
}

TEST(DateTime, DateAndTimeParts) {
    const DateTime dt = MakeDateTime(2024, 5, 15, 10, 30, 0, 250);
    EXPECT_EQ(DatePart(dt), MakeDateTime(2024, 5, 15));
    EXPECT_EQ(TimePart(dt).ms, MakeTime(10, 30, 0, 250).ms);
    EXPECT_EQ(AddDays(dt, 17), MakeDateTime(2024, 6, 1, 10, 30, 0, 250));
}

}  // namespace
}  // namespace qv
