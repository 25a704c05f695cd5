#pragma once

#include <functional>

#include "check/check_report.h"
#include "common/cancel_flag.h"

namespace veskcheck {

// What a mode of the program runs: the check run itself, or a scripted stand-in in tests.
using RunFunction = std::function<CheckReport(const CancelFlag&)>;

}  // namespace veskcheck
