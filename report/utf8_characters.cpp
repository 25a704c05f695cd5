#include "report/utf8_characters.h"

namespace veskreport {
namespace {

// What a lead byte announces: the sequence's length, the bits it gives, and the range its first
// continuation byte must lie in, which is what rules out overlong forms, surrogates and values
// beyond U+10FFFF.
struct Lead {
    std::size_t length = 0;
    char32_t bits = 0;
    unsigned char lowest = 0x80;
    unsigned char highest = 0xBF;
};

Lead leadOf(unsigned char byte) {
    if (byte >= 0xC2 && byte <= 0xDF) return {2, byte & 0x1Fu};
    if (byte == 0xE0) return {3, 0, 0xA0};
    if (byte == 0xED) return {3, 0x0D, 0x80, 0x9F};
    if (byte >= 0xE1 && byte <= 0xEF) return {3, byte & 0x0Fu};
    if (byte == 0xF0) return {4, 0, 0x90};
    if (byte == 0xF4) return {4, 0x04, 0x80, 0x8F};
    if (byte >= 0xF1 && byte <= 0xF3) return {4, byte & 0x07u};
    return {};
}

}  // namespace

Utf8Character utf8CharacterAt(std::string_view utf8, std::size_t at) {
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    if (byteAt(at) < 0x80) return {byteAt(at), 1};
    const Lead lead = leadOf(byteAt(at));
    if (lead.length == 0 || utf8.size() - at < lead.length) return {replacementCharacter, 1};
    char32_t character = lead.bits;
    for (std::size_t i = 1; i < lead.length; ++i) {
        const unsigned char next = byteAt(at + i);
        if (next < (i == 1 ? lead.lowest : 0x80) || next > (i == 1 ? lead.highest : 0xBF))
            return {replacementCharacter, 1};
        character = (character << 6) | (next & 0x3Fu);
    }
    return {character, lead.length};
}

}  // namespace veskreport
