#pragma once

#include <atomic>

namespace veskcheck {

// Set by whoever started a run (the window, on close) and only read by the run, the fetch and
// the probe; sequentially consistent loads and stores are all it needs.
using CancelFlag = std::atomic<bool>;

}  // namespace veskcheck
