#include <gtest/gtest.h>

#include "rules/DayRule.h"

namespace qv {
namespace {

constexpr int kSun = 1, kMon = 2, kTue = 3, kWed = 4, kThu = 5, kFri = 6, kSat = 7;

WeekdaySet Days(std::initializer_list<int> days) {
    WeekdaySet set = 0;
    for (int d : days) set |= WeekdayBit(d);
    return set;
}

DateTime At(const char* text) {
    const std::optional<DateTime> dt = ParseDateTime(text);
    EXPECT_TRUE(dt.has_value()) << text;
    return dt.value_or(DateTime{});
}

TimeOfDay Tm(const char* text) {
    const std::optional<TimeOfDay> t = ParseTime(text);
    EXPECT_TRUE(t.has_value()) << text;
    return t.value_or(TimeOfDay{});
}

struct RuleCase {
    const char* rule;
    WeekdaySet days;
};

TEST(WeekdaysOfRule, NamedFormsAbbreviationsAndUnknownTexts) {
    const RuleCase cases[] = {
        {"Sonntag", Days({kSun})},
        {"Montag", Days({kMon})},
        {"Dienstag", Days({kTue})},
        {"Mittwoch", Days({kWed})},
        {"Donnerstag", Days({kThu})},
        {"Freitag", Days({kFri})},
        {"Samstag", Days({kSat})},
        {"Jeden Tag", Days({kSun, kMon, kTue, kWed, kThu, kFri, kSat})},
        {"Mo-Fr", Days({kMon, kTue, kWed, kThu, kFri})},
        {"Sa+So", Days({kSat, kSun})},
        {"MoMiFr", Days({kMon, kWed, kFri})},
        {"MoDiMiDoFrSaSo", Days({kSun, kMon, kTue, kWed, kThu, kFri, kSat})},
        {"SaSo", Days({kSat, kSun})},
        {"Do", Days({kThu})},
        // An abbreviation inside another word counts.
        {"MoMonatlich", Days({kMon})},
        {"xxFrxx", Days({kFri})},
        // Case-sensitive, exact: these name no weekday.
        {"montag", 0},
        {"jeden tag", 0},
        {"Intervall", 0},
        {"", 0},
        {"MO", 0},
        {"Jeden Tag ", 0},
        {"mo-fr", 0},
        // Only the whole text is a named form; "Sa+So " still has "Sa" and "So".
        {"Sa+So ", Days({kSat, kSun})},
        {"Mo-Fr!", Days({kMon, kFri})},
    };
    for (const RuleCase& c : cases) {
        EXPECT_EQ(int(WeekdaysOfRule(c.rule)), int(c.days)) << "rule '" << c.rule << "'";
    }
}

struct NextCase {
    const char* rule;
    StartMode mode;
    const char* time;
    const char* base;
    const char* expected;
};

constexpr StartMode F = StartMode::Fixed;
constexpr StartMode I = StartMode::Interval;

void CheckAll(const std::vector<NextCase>& cases) {
    for (const NextCase& c : cases) {
        const DateTime got = CalcNextStart(c.rule, Tm(c.time), c.mode, At(c.base));
        EXPECT_EQ(FormatDateTime(got), FormatDateTime(At(c.expected)))
            << "rule '" << c.rule << "' " << (c.mode == F ? "fixed" : "interval") << " "
            << c.time << " from " << c.base;
        EXPECT_GE(got, At(c.base)) << "result before base for rule '" << c.rule << "'";
    }
}

TEST(CalcNextStart, DocumentedExamples) {
    CheckAll({
        {"Jeden Tag", F, "08:00", "2024-05-15 10:00", "2024-05-16 08:00"},
        {"Jeden Tag", F, "12:00", "2024-05-15 10:00", "2024-05-15 12:00"},
        {"MoMiFr", F, "10:00", "2024-05-15 10:00:00", "2024-05-17 10:00"},
        {"SaSo", F, "09:30", "2024-05-15 10:00", "2024-05-18 09:30"},
        {"Mo", F, "07:00", "2024-05-13 06:59", "2024-05-13 07:00"},
        {"Mo", F, "07:00", "2024-05-13 07:00:01", "2024-05-20 07:00"},
        {"Jeden Tag", I, "01:30", "2024-05-15 10:00", "2024-05-15 11:30"},
        {"MoDiMiDoFr", I, "01:00", "2024-05-17 23:30", "2024-05-20 00:30"},
        {"SaSo", I, "00:15", "2024-05-15 10:00", "2024-05-18 10:15"},
        {"Jeden Tag", I, "00:00", "2024-05-15 10:00", "2024-05-15 10:00"},
        {"Monatlich", F, "08:00", "2024-05-15 06:00", "2024-06-15 08:00"},
        {"Monatlich", I, "08:00", "2024-05-15 06:00", "2024-06-15 08:00"},
        {"Monatlich", F, "08:00", "2024-01-31 15:00", "2024-02-29 08:00"},
        {"Monatlich", I, "08:00", "2024-01-31 15:00", "2024-02-29 08:00"},
        {"Monatlich", F, "08:00", "2024-02-29 08:00", "2024-03-29 08:00"},
        {"Monatlich", F, "08:00", "2023-12-15 06:00", "2024-01-15 08:00"},
        {"Intervall", F, "08:00", "2024-05-15 10:00", "2024-05-15 10:00"},
    });
}

TEST(CalcNextStart, FixedTimeEdges) {
    CheckAll({
        // Base exactly at the start time of an allowed day: the next allowed day.
        {"Jeden Tag", F, "08:00", "2024-05-15 08:00", "2024-05-16 08:00"},
        {"Mo", F, "07:00", "2024-05-13 07:00", "2024-05-20 07:00"},
        // One millisecond before counts as before.
        {"Jeden Tag", F, "08:00", "2024-05-15 07:59:59.999", "2024-05-15 08:00"},
        {"Jeden Tag", F, "08:00", "2024-05-15 08:00:00.001", "2024-05-16 08:00"},
        // Named forms.
        {"Mo-Fr", F, "08:00", "2024-05-17 09:00", "2024-05-20 08:00"},
        {"Sa+So", F, "08:00", "2024-05-19 09:00", "2024-05-25 08:00"},
        {"Montag", F, "08:00", "2024-05-15 09:00", "2024-05-20 08:00"},
        {"Sonntag", F, "23:59:59", "2024-05-19 23:59:58", "2024-05-19 23:59:59"},
        {"MoMonatlich", F, "08:00", "2024-05-15 09:00", "2024-05-20 08:00"},
        // Across a month and a year end.
        {"Di", F, "06:00", "2024-12-31 07:00", "2025-01-07 06:00"},
        {"Do", F, "00:00", "2024-02-28 12:00", "2024-02-29 00:00"},
        // Empty weekday set: base unchanged.
        {"montag", F, "08:00", "2024-05-15 10:00:00.123", "2024-05-15 10:00:00.123"},
        {"jeden tag", F, "08:00", "2024-05-15 10:00", "2024-05-15 10:00"},
        {"", F, "08:00", "2024-05-15 10:00", "2024-05-15 10:00"},
        // Milliseconds of the time of day are kept.
        {"Jeden Tag", F, "08:00:00.250", "2024-05-15 10:00", "2024-05-16 08:00:00.250"},
    });
}

TEST(CalcNextStart, IntervalEdges) {
    CheckAll({
        // Interval from base keeps base's time of day plus the interval.
        {"Jeden Tag", I, "00:00:01", "2024-05-15 10:00:00.500", "2024-05-15 10:00:01.500"},
        {"Jeden Tag", I, "23:59:59", "2024-05-15 10:00", "2024-05-16 09:59:59"},
        // Crossing midnight onto a disallowed day moves whole days on.
        {"Mo", I, "02:00", "2024-05-13 23:00", "2024-05-20 01:00"},
        {"Sa+So", I, "01:00", "2024-05-19 23:30", "2024-05-25 00:30"},
        // An allowed day right away.
        {"MoMiFr", I, "00:30", "2024-05-15 10:00", "2024-05-15 10:30"},
        // Zero interval on an allowed day gives base; on a disallowed day the
        // next allowed day at base's time.
        {"SaSo", I, "00:00", "2024-05-18 10:00", "2024-05-18 10:00"},
        {"SaSo", I, "00:00", "2024-05-15 10:00", "2024-05-18 10:00"},
        // No weekday: base.
        {"Intervall", I, "01:00", "2024-05-15 10:00", "2024-05-15 10:00"},
        {"montag", I, "01:00", "2024-05-15 10:00", "2024-05-15 10:00"},
    });
}

TEST(CalcNextStart, MonthlyEdges) {
    CheckAll({
        // Always the next month, even when today's time has not come yet.
        {"Monatlich", F, "23:00", "2024-05-15 00:00", "2024-06-15 23:00"},
        {"Monatlich", F, "08:00", "2024-12-31 15:00", "2025-01-31 08:00"},
        {"Monatlich", F, "08:00", "2023-01-31 15:00", "2023-02-28 08:00"},
        {"Monatlich", F, "08:00", "2100-01-29 08:00", "2100-02-28 08:00"},
        {"Monatlich", F, "08:00", "2000-01-30 08:00", "2000-02-29 08:00"},
        {"Monatlich", F, "08:00", "2024-03-31 08:00", "2024-04-30 08:00"},
        {"Monatlich", F, "00:00", "2024-05-15 06:00", "2024-06-15 00:00"},
        // Not exactly "Monatlich": a weekday rule (or none).
        {"monatlich", F, "08:00", "2024-05-15 10:00", "2024-05-15 10:00"},
    });
}

TEST(CalcNextStart, MonthlyKeepsTheSmallerDayOnceShortened) {
    DateTime at = At("2024-01-31 08:00");
    const char* expected[] = {"2024-02-29 08:00", "2024-03-29 08:00", "2024-04-29 08:00",
                              "2024-05-29 08:00"};
    for (const char* e : expected) {
        at = CalcNextStart("Monatlich", Tm("08:00"), F, at);
        EXPECT_EQ(FormatDateTime(at), FormatDateTime(At(e)));
    }
}

// Every result of a rule with weekdays lies on an allowed day, within 8 days of
// base, and in fixed mode strictly after base at exactly the time of day.
TEST(CalcNextStart, PropertiesOverAWeekOfBases) {
    const char* rules[] = {"Mo", "MoMiFr", "SaSo", "Jeden Tag", "Mo-Fr", "Sa+So", "Freitag", "DiDo"};
    const TimeOfDay times[] = {Tm("00:00"), Tm("07:30"), Tm("23:59:59.999")};
    for (const char* rule : rules) {
        const WeekdaySet days = WeekdaysOfRule(rule);
        for (TimeOfDay time : times) {
            for (int64_t step = 0; step < 7 * 24 * 4; ++step) {
                const DateTime base{At("2024-05-13 00:00").ms + step * 15 * kMsPerMinute + 7};
                const DateTime fixed = CalcNextStart(rule, time, F, base);
                EXPECT_TRUE(HasWeekday(days, DayOfWeek(fixed))) << rule;
                EXPECT_GT(fixed, base) << rule;
                EXPECT_EQ(TimePart(fixed), time) << rule;
                EXPECT_LE(fixed.ms - base.ms, 8 * kMsPerDay) << rule;
                const DateTime interval = CalcNextStart(rule, time, I, base);
                EXPECT_TRUE(HasWeekday(days, DayOfWeek(interval))) << rule;
                EXPECT_EQ((interval.ms - base.ms - time.ms) % kMsPerDay, 0) << rule;
                EXPECT_LE(interval.ms - base.ms - time.ms, 7 * kMsPerDay) << rule;
            }
        }
    }
}

// After the clock was set by delta a start keeps its distance from now; a
// fixed or monthly one also its days and its time of day.
TEST(CorrectedStart, KeepsTheDistanceAndTheRule) {
    constexpr int64_t kDay = kMsPerDay;
    struct Case {
        const char* rule;
        StartMode mode;
        const char* time;
        const char* start;
        int64_t delta;
        const char* expected;
    } cases[] = {
        {"Jeden Tag", I, "00:01", "2024-05-15 10:01", -kDay, "2024-05-14 10:01"},
        {"Jeden Tag", I, "00:01", "2024-05-15 10:01", 8 * kDay, "2024-05-23 10:01"},
        {"Jeden Tag", F, "08:00", "2024-05-16 08:00", -kDay, "2024-05-15 08:00"},
        {"Jeden Tag", F, "08:00", "2024-05-16 08:00", -3 * kMsPerHour, "2024-05-16 08:00"},
        {"Jeden Tag", F, "08:00", "2024-05-15 08:00", 30 * kMsPerSecond, "2024-05-15 08:00"},
        {"MoMiFr", F, "08:00", "2024-05-17 08:00", -kDay, "2024-05-17 08:00"},    // Thu is no day of it
        {"MoMiFr", F, "08:00", "2024-05-17 08:00", -2 * kDay, "2024-05-15 08:00"},
        {"Monatlich", F, "08:00", "2024-05-15 08:00", -kDay, "2024-05-15 08:00"},
        {"Monatlich", F, "08:00", "2024-05-31 08:00", 20 * kDay, "2024-06-30 08:00"},
        {"Intervall", F, "08:00", "2024-05-15 08:00", kDay, "2024-05-16 08:00"},  // no weekday: moved
    };
    for (const Case& c : cases) {
        const DateTime moved{At(c.start).ms + c.delta};
        EXPECT_EQ(FormatDateTime(CorrectedStart(c.rule, Tm(c.time), c.mode, At(c.start), moved)),
                  FormatDateTime(At(c.expected)))
            << c.rule << " " << c.start << " " << c.delta;
    }
}

}  // namespace
}  // namespace qv
