#pragma once

#include <optional>
#include <span>
#include <string>

namespace veskcheck {

// The report path when the arguments (the program's own path first) are exactly "--report" and
// one path; nothing otherwise, and the window opens. Case matters and nothing may be attached.
std::optional<std::u16string> headlessReportPath(std::span<const std::u16string> arguments);

}  // namespace veskcheck
