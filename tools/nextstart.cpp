// nextstart RULE TIME MODE BASE [COUNT]
//
// Prints the next start(s) of a job with day rule RULE and time (or interval)
// TIME in mode "fixed" or "interval", counted from BASE; with COUNT, that many
// successive starts, each counted from the one before. Malformed arguments get
// a one-line message on stderr and exit status 2, with nothing on stdout.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "engine/DateTime.h"
#include "rules/DayRule.h"

namespace {

constexpr int kBadArgument = 2;
constexpr long kMaxCount = 1000000;
constexpr const char* kUsage = "usage: nextstart RULE TIME MODE BASE [COUNT]";

int Fail(const std::string& message) {
    std::fprintf(stderr, "nextstart: %s\n", message.c_str());
    return kBadArgument;
}

// A whole number from 1 to kMaxCount, digits only.
bool ParseCount(const std::string& text, long& count) {
    if (text.empty() || text.size() > 7) return false;
    long value = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return false;
        value = value * 10 + (ch - '0');
    }
    if (value < 1 || value > kMaxCount) return false;
    count = value;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    static const char* const kNames[] = {"RULE", "TIME", "MODE", "BASE"};
    if (argc < 5) return Fail(std::string("missing argument ") + kNames[argc < 1 ? 0 : argc - 1] + " (" + kUsage + ")");
    if (argc > 6) return Fail(std::string("too many arguments (") + kUsage + ")");

    const std::string rule = argv[1];
    const std::string timeText = argv[2];
    const std::string modeText = argv[3];
    const std::string baseText = argv[4];

    const std::optional<qv::TimeOfDay> time = qv::ParseTime(timeText);
    if (!time)
        return Fail("TIME '" + timeText + "' is not a time of day (HH:MM, HH:MM:SS or HH:MM:SS.mmm)");

    qv::StartMode mode;
    if (modeText == "fixed") {
        mode = qv::StartMode::Fixed;
    } else if (modeText == "interval") {
        mode = qv::StartMode::Interval;
    } else {
        return Fail("MODE '" + modeText + "' is neither 'fixed' nor 'interval'");
    }

    const std::optional<qv::DateTime> base = qv::ParseDateTime(baseText);
    if (!base)
        return Fail("BASE '" + baseText +
                    "' is not a date and time (YYYY-MM-DD HH:MM, YYYY-MM-DD HH:MM:SS or "
                    "YYYY-MM-DD HH:MM:SS.mmm)");

    long count = 1;
    if (argc == 6 && !ParseCount(argv[5], count))
        return Fail(std::string("COUNT '") + argv[5] + "' is not a whole number from 1 to " +
                    std::to_string(kMaxCount));

    // Compute everything first, so an out-of-range result leaves stdout empty.
    const qv::DateTime last = qv::MakeDateTime(9999, 12, 31, 23, 59, 59, 999);
    const std::vector<qv::DateTime> starts = qv::NextStarts(rule, *time, mode, *base, static_cast<int>(count));
    for (size_t i = 0; i < starts.size(); ++i) {
        if (starts[i] > last) {
            std::fprintf(stderr, "nextstart: start %lu lies beyond the year 9999\n",
                         static_cast<unsigned long>(i + 1));
            return 1;
        }
    }
    std::string out;
    out.reserve(starts.size() * 24);
    for (qv::DateTime start : starts) {
        out += qv::FormatDateTime(start);
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
