// The next-start computation over any day rule, time of day, mode and base a
// job row can hold. Input: one byte mode, four bytes time, eight bytes base,
// then the day rule's text.
#include "fuzz/FuzzSupport.h"
#include "rules/DayRule.h"

using namespace qv;

namespace {

// The date-times a table can hold: years 1 to 9999.
const int64_t kFirst = MakeDateTime(1, 1, 1).ms;
const int64_t kLast = MakeDateTime(9999, 12, 31, 23, 59, 59, 999).ms;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in(data, size);
    const StartMode mode = in.Take(1) & 1 ? StartMode::Interval : StartMode::Fixed;
    const TimeOfDay time{static_cast<int32_t>(in.Take(4) % kMsPerDay)};
    const DateTime base{kFirst + static_cast<int64_t>(in.Take(8) % static_cast<uint64_t>(kLast - kFirst + 1))};
    const std::string rule = in.Rest();

    const DateTime next = CalcNextStart(rule, time, mode, base);
    fuzz::Check(CalcNextStart(rule, time, mode, base) == next, "same input, another next start", rule);
    fuzz::Check(next >= base, "next start before its base", rule + " -> " + FormatDateTime(next));
    // A fixed-time start lies strictly after its base whenever the rule names a day.
    if (mode == StartMode::Fixed && (IsMonthlyRule(rule) || WeekdaysOfRule(rule) != 0))
        fuzz::Check(next > base, "fixed start not after its base", rule + " " + FormatDateTime(base));
    return 0;
}
