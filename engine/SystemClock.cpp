// The real clock: Windows' own reading of UTC, the local time and the zone
// rules that relate them, and GetTickCount.
#include "engine/DateTime.h"
#include "engine/TimeZone.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#include <ctime>
#endif

namespace qv {

namespace {

#ifdef _WIN32

// FILETIME counts 100 ns since 1601-01-01 UTC.
int64_t FileTimeToMs(const FILETIME& ft) {
    const uint64_t t = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<int64_t>(t / 10000) + DaysFromCivil(1601, 1, 1) * kMsPerDay;
}

ZoneSwitch SwitchOf(const SYSTEMTIME& st) {
    return ZoneSwitch{st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute};
}

TimeZoneRules ZoneFromSystem() {
    TIME_ZONE_INFORMATION tz{};
    const DWORD id = GetTimeZoneInformation(&tz);
    TimeZoneRules z;
    if (id == TIME_ZONE_ID_INVALID) return z;
    z.bias = static_cast<int>(tz.Bias);
    z.standardBias = static_cast<int>(tz.StandardBias);
    z.daylightBias = static_cast<int>(tz.DaylightBias);
    // Switches on a fixed date of one year (wYear set) are not a yearly rule:
    // such a zone is taken at its offset of the moment, below.
    if (tz.StandardDate.wYear == 0 && tz.DaylightDate.wYear == 0 && tz.StandardDate.wMonth != 0 &&
        tz.DaylightDate.wMonth != 0) {
        z.standardDate = SwitchOf(tz.StandardDate);
        z.daylightDate = SwitchOf(tz.DaylightDate);
    }
    return z;
}

// Where the rules do not give the local time Windows gives (a zone Windows
// knows more of than its yearly rule), the offset of the moment counts,
// without switches.
TimeZoneRules CheckedZone(int64_t utc) {
    TimeZoneRules zone = ZoneFromSystem();
    SYSTEMTIME st;
    GetLocalTime(&st);
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    const int64_t local = FileTimeToMs(ft);
    const int64_t diff = ToLocal(zone, utc).ms - local;
    if (diff > 2000 || diff < -2000) {
        const int64_t offsetMin = (local - utc + (local >= utc ? 30000 : -30000)) / 60000;
        zone = TimeZoneRules{};
        zone.bias = static_cast<int>(-offsetMin);
    }
    return zone;
}

#endif

}  // namespace

ClockReading SystemClock::Read() const {
    ClockReading r;
#ifdef _WIN32
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    r.utc = FileTimeToMs(ft);
    r.ticks = GetTickCount();
    // The user may change the zone at any time.
    if (!zoneKnown_ || r.ticks - zoneReadAt_ > 60000) {
        zone_ = CheckedZone(r.utc);
        zoneReadAt_ = r.ticks;
        zoneKnown_ = true;
    }
    r.zone = zone_;
#else
    using namespace std::chrono;
    const int64_t unixMs = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    r.utc = unixMs + DaysFromCivil(1970, 1, 1) * kMsPerDay;
    r.ticks = static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    const std::time_t secs = static_cast<std::time_t>(unixMs / 1000);
    std::tm local{};
    localtime_r(&secs, &local);
    r.zone.bias = static_cast<int>(-local.tm_gmtoff / 60);
#endif
    r.local = ToLocal(r.zone, r.utc);
    return r;
}

}  // namespace qv
