#pragma once

#include <string>
#include <string_view>

namespace veskcheck {

// Text known to be ASCII (a host name, a version, a checked address) as UTF-16: one unit per byte.
inline std::u16string widenedAscii(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

}  // namespace veskcheck
