#include "certpath/probe_deadline.h"

#include "certpath/failure.h"
#include "certpath/probe_steps.h"
#include "common/tick_clock.h"

namespace veskcheck {

void ProbeDeadline::check() const {
    if (cancel.load()) throw Failure{steps::cancelled, codes::cancelled};
    if (tickCountMs() >= deadline) throw Failure{steps::handshakeTimedOut, codes::timedOut};
}

ProbeDeadline startProbeDeadline(const CancelFlag& cancel) { return {cancel, tickCountMs() + probeBudgetMs}; }

}  // namespace veskcheck
