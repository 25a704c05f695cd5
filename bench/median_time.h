#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace veskbench {

// The median is robust against the odd run that a page-in or another process slowed down.
template <typename Work>
double medianMilliseconds(int runs, Work&& work) {
    std::vector<double> times(static_cast<std::size_t>(runs));
    for (double& time : times) {
        const auto start = std::chrono::steady_clock::now();
        work();
        time = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    std::ranges::nth_element(times, times.begin() + runs / 2);
    return times[static_cast<std::size_t>(runs / 2)];
}

}  // namespace veskbench
