#pragma once

#include <string>
#include <vector>

namespace veskcheck {

// The process's command line split as CommandLineToArgvW splits it, the program's own path
// first; empty when it cannot be split. Windows only.
std::vector<std::u16string> processArguments();

}  // namespace veskcheck
