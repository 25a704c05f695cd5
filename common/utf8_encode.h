#pragma once

#include <string>
#include <string_view>

namespace veskcheck {

constexpr bool isHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool isLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Appends the UTF-8 bytes of one character (U+0000 to U+10FFFF).
void appendUtf8(std::string& out, char32_t character);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD. For the few places that hand text to a
// narrow interface (file names on POSIX systems, test output).
std::string utf8FromUtf16(std::u16string_view text);

}  // namespace veskcheck
