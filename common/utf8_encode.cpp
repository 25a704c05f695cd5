#include "common/utf8_encode.h"

namespace veskcheck {
namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

// Reads one character at `i` and moves past it.
char32_t nextCharacter(std::u16string_view text, std::size_t& i) {
    const char32_t unit = text[i++];
    if (isHighSurrogate(unit) && i < text.size() && isLowSurrogate(text[i]))
        return 0x10000 + ((unit - 0xD800) << 10) + (text[i++] - 0xDC00);
    return isHighSurrogate(unit) || isLowSurrogate(unit) ? replacementCharacter : unit;
}

}  // namespace

void appendUtf8(std::string& out, char32_t c) {
    auto byte = [&](char32_t value) { out += static_cast<char>(value); };
    if (c < 0x80) {
        byte(c);
    } else if (c < 0x800) {
        byte(0xC0 | (c >> 6));
        byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        byte(0xE0 | (c >> 12));
        byte(0x80 | ((c >> 6) & 0x3F));
        byte(0x80 | (c & 0x3F));
    } else {
        byte(0xF0 | (c >> 18));
        byte(0x80 | ((c >> 12) & 0x3F));
        byte(0x80 | ((c >> 6) & 0x3F));
        byte(0x80 | (c & 0x3F));
    }
}

std::string utf8FromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) appendUtf8(out, nextCharacter(text, i));
    return out;
}

}  // namespace veskcheck
