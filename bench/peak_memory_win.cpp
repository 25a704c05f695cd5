#include "bench/peak_memory.h"

#include <windows.h>
#include <psapi.h>

#include <stdexcept>

namespace veskbench {

std::uint64_t peakMemoryBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)))
        throw std::runtime_error("GetProcessMemoryInfo failed");
    return counters.PeakWorkingSetSize;
}

}  // namespace veskbench
