#pragma once

#include <cstdint>

namespace veskcheck {

// Milliseconds from a monotonic clock; only differences are meaningful.
std::uint64_t tickCountMs();

}  // namespace veskcheck
