#pragma once

#include <algorithm>
#include <optional>
#include <span>
#include <string_view>

namespace veskcheck {

// The report path when the arguments (the program's own path first) are exactly "--report" and
// one path; nothing otherwise, and the window opens. Case matters and nothing may be attached.
// The arguments are the system's own text: UTF-16 on Windows, the bytes given elsewhere, where an
// argument that is not UTF-8 counts like any other and the path is kept as its bytes.
template <typename Text>
std::optional<Text> headlessReportPath(std::span<const Text> arguments) {
    constexpr std::string_view option = "--report";
    if (arguments.size() != 3 || !std::ranges::equal(arguments[1], option)) return std::nullopt;
    return arguments[2];
}

}  // namespace veskcheck
