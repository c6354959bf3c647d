#include "schedule/ClockWatch.h"

namespace qv {

int64_t ClockWatch::Observe(const ClockReading& r, bool confirmed) {
    if (!base_) {
        base_ = Base{r.utc, r.ticks};
        return 0;
    }
    const uint32_t elapsed = r.ticks - base_->ticks;
    const int64_t change = (r.utc - base_->utc) - static_cast<int64_t>(elapsed);
    const bool changed = change > kThresholdMs || change < -kThresholdMs;
    if (!changed || elapsed > kLongestGapMs || asleep_) {
        // Drift below the threshold is forgotten at every reading, so slow
        // corrections of a time sync never add up to a change.
        if (changed) asleep_ = false;
        base_ = Base{r.utc, r.ticks};
        pending_.reset();
        return 0;
    }
    // Two readings agree when the second adds no more than a few seconds.
    if (!confirmed && !(pending_ && *pending_ - change <= 2000 && change - *pending_ <= 2000)) {
        pending_ = change;  // the base stays: the next reading measures the same
        return 0;
    }
    base_ = Base{r.utc, r.ticks};
    pending_.reset();
    return change;
}

}  // namespace qv
