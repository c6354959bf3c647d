// Tells a clock that was set from time that passed.
//
// The wall clock (UTC, so the switches of summer time are no change) is read
// against a count of milliseconds that only goes on (GetTickCount). While both
// move alike, time passes. When the wall clock has moved more than
// kThresholdMs further one way than the count, someone set it (the user, a
// time sync). Sleep is the exception: on the NT family the count goes on
// across it, on the 95/98 line it may stand still, so the window says when the
// computer sleeps and wakes, and what lies between is time that passed.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/DateTime.h"

namespace qv {

class ClockWatch {
public:
    static constexpr int64_t kThresholdMs = 10000;
    // Beyond this the count has wrapped or the reading is not to be trusted
    // (the count is 32 bits: 49.7 days): a new start, no change.
    static constexpr uint32_t kLongestGapMs = 24u * 24 * 3600 * 1000;

    // The change of the clock since the last reading (later: positive), or 0.
    // A change is reported once two readings in a row agree on it, or at once
    // when confirmed (Windows said the clock was set). Unsettled() is true
    // between a first reading of a change and its confirmation.
    int64_t Observe(const ClockReading& r, bool confirmed = false);
    bool Unsettled() const { return pending_.has_value(); }

    // The computer goes to sleep: the next change seen is the sleep itself.
    void Suspending() { asleep_ = true; }
    // It woke up: count from the next reading.
    void Resumed() {
        base_.reset();
        pending_.reset();
        asleep_ = false;
    }

private:
    struct Base {
        int64_t utc;
        uint32_t ticks;
    };
    std::optional<Base> base_;
    std::optional<int64_t> pending_;
    bool asleep_ = false;
};

}  // namespace qv
