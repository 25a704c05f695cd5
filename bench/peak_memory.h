#pragma once

#include <cstdint>

namespace veskbench {

// The most memory this process has held at once so far, in bytes: the peak resident set on
// Linux, the peak working set on Windows.
std::uint64_t peakMemoryBytes();

}  // namespace veskbench
