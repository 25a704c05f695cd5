#include "certpath/probe_deadline.h"

#include "certpath/failure.h"
#include "common/tick_clock.h"

namespace veskcheck {

void ProbeDeadline::check() const {
    if (cancel.load()) throw Failure{u"已取消", 1223};
    if (tickCountMs() >= deadline) throw Failure{u"握手超时", 258};
}

ProbeDeadline startProbeDeadline(const CancelFlag& cancel) { return {cancel, tickCountMs() + probeBudgetMs}; }

}  // namespace veskcheck
