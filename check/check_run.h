#pragma once

#include "check/check_report.h"
#include "check/check_services.h"
#include "common/cancel_flag.h"

namespace veskcheck {

// One complete check run: both connection modes, verification, the certificate section, the
// advice and the report. Network, TLS, HTTP and manifest failures end up in the report; only an
// exception outside the guarded phase leaves the run, and the caller has its own fallback then.
CheckReport runCheck(const CancelFlag& cancel);
CheckReport runCheck(const CancelFlag& cancel, const CheckServices& services);

}  // namespace veskcheck
