#pragma once

#include <cstddef>
#include <string_view>

namespace veskreport {

inline constexpr char32_t replacementCharacter = 0xFFFD;
inline constexpr std::string_view replacementUtf8 = "\xEF\xBF\xBD";

// One character of UTF-8 text and the number of bytes it takes.
struct Utf8Character {
    char32_t character;
    std::size_t length;
};

// The character that starts at byte `at` (< size) of `utf8`. A byte that starts no well-formed
// sequence (a stray continuation byte, a cut or overlong sequence, a surrogate, a value beyond
// U+10FFFF) is a U+FFFD one byte long, so text from anywhere can be walked to its end.
Utf8Character utf8CharacterAt(std::string_view utf8, std::size_t at);

}  // namespace veskreport
