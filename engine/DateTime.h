// Local wall-clock date-times and times of day as whole milliseconds.
//
// A DateTime counts milliseconds since 30 December 1899 00:00 local time, so an
// empty date-time field (0) is that moment and always lies in the past. Integer
// milliseconds make a stored value read back exactly and equality comparisons
// exact, which the next-start rules depend on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qv {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kMsPerMinute = 60 * kMsPerSecond;
constexpr int64_t kMsPerHour = 60 * kMsPerMinute;
constexpr int64_t kMsPerDay = 24 * kMsPerHour;

// A time of day (or an interval length), 0 <= ms < kMsPerDay.
struct TimeOfDay {
    int32_t ms = 0;
    friend bool operator==(TimeOfDay a, TimeOfDay b) { return a.ms == b.ms; }
    friend bool operator!=(TimeOfDay a, TimeOfDay b) { return a.ms != b.ms; }
};

struct DateTime {
    int64_t ms = 0;  // since 1899-12-30 00:00 local
    friend bool operator==(DateTime a, DateTime b) { return a.ms == b.ms; }
    friend bool operator!=(DateTime a, DateTime b) { return a.ms != b.ms; }
    friend bool operator<(DateTime a, DateTime b) { return a.ms < b.ms; }
    friend bool operator>(DateTime a, DateTime b) { return a.ms > b.ms; }
    friend bool operator<=(DateTime a, DateTime b) { return a.ms <= b.ms; }
    friend bool operator>=(DateTime a, DateTime b) { return a.ms >= b.ms; }
};

struct CivilDate {
    int year = 1899, month = 12, day = 30;
};

struct CivilDateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool IsValidDate(int year, int month, int day);

// Days since 1899-12-30 for a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int year, int month, int day);
CivilDate CivilFromDays(int64_t days);

DateTime MakeDateTime(const CivilDateTime& c);
DateTime MakeDateTime(int year, int month, int day, int hour = 0, int minute = 0,
                      int second = 0, int millisecond = 0);
CivilDateTime ToCivil(DateTime dt);
TimeOfDay MakeTime(int hour, int minute, int second = 0, int millisecond = 0);

// Midnight of the day of dt (the "date part").
DateTime DatePart(DateTime dt);
TimeOfDay TimePart(DateTime dt);
DateTime operator+(DateTime dt, TimeOfDay t);
DateTime AddDays(DateTime dt, int64_t days);
// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(DateTime dt);

// "YYYY-MM-DD HH:MM:SS.mmm" and "HH:MM:SS.mmm": the storage forms.
std::string FormatDateTime(DateTime dt);
std::string FormatTime(TimeOfDay t);
// Parse the storage forms; seconds and milliseconds are optional
// ("YYYY-MM-DD HH:MM", "HH:MM", "HH:MM:SS"). Anything out of range gives nullopt.
std::optional<DateTime> ParseDateTime(const std::string& text);
std::optional<TimeOfDay> ParseTime(const std::string& text);

// A time zone as Windows describes it (TIME_ZONE_INFORMATION): UTC = local +
// bias + standardBias in standard time, local + bias + daylightBias in summer
// time, all in minutes. A switch is the week-th (5: last) dayOfWeek (0:
// Sunday) of month, at hour:minute of the time that is ending. No switches
// (month 0): a fixed offset all year.
struct ZoneSwitch {
    int month = 0, dayOfWeek = 0, week = 0, hour = 0, minute = 0;
};
struct TimeZoneRules {
    int bias = 0, standardBias = 0, daylightBias = 0;
    ZoneSwitch standardDate, daylightDate;  // to standard time, to summer time
    bool HasDaylightTime() const {
        return standardDate.month != 0 && daylightDate.month != 0 && standardBias != daylightBias;
    }
};

// One reading of the clock: the local date-time the user sees, the same
// moment in UTC (milliseconds since 1899-12-30 00:00 UTC), the zone that
// relates them, and a count of milliseconds that only ever goes on (it wraps
// after 49.7 days, as GetTickCount does) and ignores clock changes.
struct ClockReading {
    DateTime local;
    int64_t utc = 0;
    TimeZoneRules zone;
    uint32_t ticks = 0;
};

// The current time. Everything that reads the clock takes a Clock, so tests
// can run every rule against a fake one.
class Clock {
public:
    virtual ~Clock() = default;
    virtual ClockReading Read() const = 0;
    DateTime Now() const { return Read().local; }
};

class SystemClock final : public Clock {
public:
    ClockReading Read() const override;

private:
    // The zone as last read from the system; read again once a minute.
    mutable TimeZoneRules zone_;
    mutable uint32_t zoneReadAt_ = 0;
    mutable bool zoneKnown_ = false;
};

// A clock the test sets by hand; in UTC unless given a zone. Set and Advance
// are time that passes; SetWall moves only the wall clock, as a user setting
// the clock does.
class FakeClock final : public Clock {
public:
    explicit FakeClock(DateTime now = {}) : utc_(now.ms) {}
    ClockReading Read() const override;
    void Set(DateTime now);
    void SetUtc(int64_t utc);
    void Advance(int64_t ms) {
        utc_ += ms;
        ticks_ += static_cast<uint32_t>(ms);
    }
    void SetWall(DateTime now);
    void SetZone(const TimeZoneRules& zone) { zone_ = zone; }

private:
    int64_t utc_;
    uint32_t ticks_ = 0;
    TimeZoneRules zone_;
};

}  // namespace qv
