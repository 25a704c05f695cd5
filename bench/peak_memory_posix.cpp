#include "bench/peak_memory.h"

#include <sys/resource.h>

#include <stdexcept>

namespace veskbench {

std::uint64_t peakMemoryBytes() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) throw std::runtime_error("getrusage failed");
    // Linux counts ru_maxrss in KiB.
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
}

}  // namespace veskbench
