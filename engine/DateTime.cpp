#include "engine/DateTime.h"

#include "engine/TimeZone.h"

#include <cstdio>

namespace qv {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && IsLeapYear(year)) return 29;
    return days[month - 1];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

// Howard Hinnant's days_from_civil, shifted so that 1899-12-30 is day 0.
static int64_t DaysFromUnixEpoch(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

static const int64_t kEpochOffset = DaysFromUnixEpoch(1899, 12, 30);

int64_t DaysFromCivil(int year, int month, int day) {
    return DaysFromUnixEpoch(year, month, day) - kEpochOffset;
}

CivilDate CivilFromDays(int64_t days) {
    int64_t z = days + kEpochOffset + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = yoe + era * 400;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp + (mp < 10 ? 3 : -9);
    return CivilDate{static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

static int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

DateTime MakeDateTime(const CivilDateTime& c) {
    return DateTime{DaysFromCivil(c.year, c.month, c.day) * kMsPerDay + c.hour * kMsPerHour +
                    c.minute * kMsPerMinute + c.second * kMsPerSecond + c.millisecond};
}

DateTime MakeDateTime(int year, int month, int day, int hour, int minute, int second,
                      int millisecond) {
    return MakeDateTime(CivilDateTime{year, month, day, hour, minute, second, millisecond});
}

CivilDateTime ToCivil(DateTime dt) {
    const int64_t days = FloorDiv(dt.ms, kMsPerDay);
    int64_t rest = dt.ms - days * kMsPerDay;
    const CivilDate d = CivilFromDays(days);
    CivilDateTime c;
    c.year = d.year;
    c.month = d.month;
    c.day = d.day;
    c.hour = static_cast<int>(rest / kMsPerHour);
    rest %= kMsPerHour;
    c.minute = static_cast<int>(rest / kMsPerMinute);
    rest %= kMsPerMinute;
    c.second = static_cast<int>(rest / kMsPerSecond);
    c.millisecond = static_cast<int>(rest % kMsPerSecond);
    return c;
}

TimeOfDay MakeTime(int hour, int minute, int second, int millisecond) {
    return TimeOfDay{static_cast<int32_t>(hour * kMsPerHour + minute * kMsPerMinute +
                                          second * kMsPerSecond + millisecond)};
}

DateTime DatePart(DateTime dt) { return DateTime{FloorDiv(dt.ms, kMsPerDay) * kMsPerDay}; }

TimeOfDay TimePart(DateTime dt) {
    return TimeOfDay{static_cast<int32_t>(dt.ms - DatePart(dt).ms)};
}

DateTime operator+(DateTime dt, TimeOfDay t) { return DateTime{dt.ms + t.ms}; }

DateTime AddDays(DateTime dt, int64_t days) { return DateTime{dt.ms + days * kMsPerDay}; }

int DayOfWeek(DateTime dt) {
    // Day 0 (1899-12-30) was a Saturday.
    const int64_t days = FloorDiv(dt.ms, kMsPerDay);
    int64_t w = (days + 6) % 7;
    if (w < 0) w += 7;
    return static_cast<int>(w) + 1;
}

std::string FormatDateTime(DateTime dt) {
    const CivilDateTime c = ToCivil(dt);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", c.year, c.month, c.day,
                  c.hour, c.minute, c.second, c.millisecond);
    return buf;
}

std::string FormatTime(TimeOfDay t) {
    const int h = t.ms / 3600000, m = t.ms / 60000 % 60, s = t.ms / 1000 % 60, ms = t.ms % 1000;
    char buf[24];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", h, m, s, ms);
    return buf;
}

namespace {

// Reads exactly n digits at text[pos].
bool Digits(const std::string& text, size_t& pos, size_t n, int& out) {
    if (pos + n > text.size()) return false;
    int v = 0;
    for (size_t i = 0; i < n; ++i) {
        const char ch = text[pos + i];
        if (ch < '0' || ch > '9') return false;
        v = v * 10 + (ch - '0');
    }
    pos += n;
    out = v;
    return true;
}

bool Expect(const std::string& text, size_t& pos, char ch) {
    if (pos >= text.size() || text[pos] != ch) return false;
    ++pos;
    return true;
}

// "HH:MM[:SS[.mmm]]" at text[pos], to the end of text.
bool ParseClock(const std::string& text, size_t pos, int& h, int& m, int& s, int& ms) {
    s = ms = 0;
    if (!Digits(text, pos, 2, h) || !Expect(text, pos, ':') || !Digits(text, pos, 2, m))
        return false;
    if (pos < text.size()) {
        if (!Expect(text, pos, ':') || !Digits(text, pos, 2, s)) return false;
        if (pos < text.size() && (!Expect(text, pos, '.') || !Digits(text, pos, 3, ms)))
            return false;
    }
    return pos == text.size() && h < 24 && m < 60 && s < 60;
}

}  // namespace

std::optional<TimeOfDay> ParseTime(const std::string& text) {
    int h = 0, m = 0, s = 0, ms = 0;
    if (!ParseClock(text, 0, h, m, s, ms)) return std::nullopt;
    return MakeTime(h, m, s, ms);
}

std::optional<DateTime> ParseDateTime(const std::string& text) {
    size_t pos = 0;
    int y = 0, mo = 0, d = 0, h = 0, m = 0, s = 0, ms = 0;
    if (!Digits(text, pos, 4, y) || !Expect(text, pos, '-') || !Digits(text, pos, 2, mo) ||
        !Expect(text, pos, '-') || !Digits(text, pos, 2, d) || !Expect(text, pos, ' '))
        return std::nullopt;
    if (!IsValidDate(y, mo, d) || !ParseClock(text, pos, h, m, s, ms)) return std::nullopt;
    return MakeDateTime(y, mo, d, h, m, s, ms);
}

ClockReading FakeClock::Read() const {
    ClockReading r;
    r.utc = utc_;
    r.zone = zone_;
    r.local = ToLocal(zone_, utc_);
    r.ticks = ticks_;
    return r;
}

void FakeClock::SetUtc(int64_t utc) {
    ticks_ += static_cast<uint32_t>(utc - utc_);
    utc_ = utc;
}

void FakeClock::Set(DateTime now) { SetUtc(ToUtc(zone_, now, utc_)); }

void FakeClock::SetWall(DateTime now) { utc_ = ToUtc(zone_, now, utc_); }

}  // namespace qv
