#pragma once

#include <functional>

#include "check/check_report.h"
#include "check/check_run.h"
#include "common/cancel_flag.h"

namespace veskcheck {

// What a mode of the program runs: the check run itself, or a scripted stand-in in tests.
using RunFunction = std::function<CheckReport(const CancelFlag&)>;

// The check run itself, with the real services: what both modes run unless a test says otherwise.
inline CheckReport realCheckRun(const CancelFlag& cancel) { return runCheck(cancel); }

}  // namespace veskcheck
