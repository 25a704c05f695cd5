#pragma once

#include <cstdint>

#include "common/cancel_flag.h"

namespace veskcheck {

constexpr std::uint64_t probeBudgetMs = 6000;
constexpr int pollSliceMs = 150;

// The cancel flag and the end of the probe's time budget; every wait of the probe goes through
// here so that a cancel is seen within one poll slice and no wait outlives the budget.
struct ProbeDeadline {
    const CancelFlag& cancel;  // only read
    std::uint64_t deadline;    // tickCountMs() value at which the budget is used up

    // Throws Failure "已取消" when the flag is set, else "握手超时" once the deadline is reached.
    void check() const;

    // Waits in slices until `pollSlice(pollSliceMs)` answers that the socket is ready, calling
    // check() before every slice. `pollSlice` throws its own failure when the wait itself fails.
    template <typename PollSlice>
    void waitFor(PollSlice&& pollSlice) const {
        do check();
        while (!pollSlice(pollSliceMs));
    }
};

// The deadline of a probe that starts now.
ProbeDeadline startProbeDeadline(const CancelFlag& cancel);

}  // namespace veskcheck
