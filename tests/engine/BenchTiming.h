// Timing shared by the benchmarks: min, median and max of repeated runs.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace qv::bench {

struct Figures {
    double min = 0, median = 0, max = 0;
};

// Min, median and max of runs, in milliseconds; setup runs untimed before each run.
inline Figures Time(int runs, const std::function<void()>& f, const std::function<void()>& setup = {}) {
    using Steady = std::chrono::steady_clock;
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        if (setup) setup();
        const auto t0 = Steady::now();
        f();
        ms.push_back(std::chrono::duration<double, std::milli>(Steady::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2], ms.back()};
}

}  // namespace qv::bench
