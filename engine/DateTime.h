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

// The current local time. Everything that reads the clock takes a Clock, so
// tests can run every rule against a fake one.
class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime Now() const = 0;
};

class SystemClock final : public Clock {
public:
    DateTime Now() const override;
};

// A clock the test sets by hand.
class FakeClock final : public Clock {
public:
    explicit FakeClock(DateTime now = {}) : now_(now) {}
    DateTime Now() const override { return now_; }
    void Set(DateTime now) { now_ = now; }
    void Advance(int64_t ms) { now_.ms += ms; }

private:
    DateTime now_;
};

}  // namespace qv
