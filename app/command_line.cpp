#include "app/command_line.h"

namespace veskcheck {

std::optional<std::u16string> headlessReportPath(std::span<const std::u16string> arguments) {
    if (arguments.size() != 3 || arguments[1] != u"--report") return std::nullopt;
    return arguments[2];
}

}  // namespace veskcheck
