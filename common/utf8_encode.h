#pragma once

#include <string>
#include <string_view>

namespace veskcheck {

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD. For the few places that hand text to a
// narrow interface (file names on POSIX systems, test output).
std::string utf8FromUtf16(std::u16string_view text);

}  // namespace veskcheck
