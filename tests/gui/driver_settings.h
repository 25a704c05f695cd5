#pragma once

#include <optional>
#include <string>
#include <vector>

#include "driver_case.h"

namespace vesktest {

// The driver's command line (the program's name first), or nothing when it lacks the work folder
// or names no case.
std::optional<DriverSettings> parseSettings(const std::vector<std::u16string>& arguments);

}  // namespace vesktest
