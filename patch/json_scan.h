#pragma once

// Byte-level steps shared by the JSON checker, the reader and the portable UTF-8 decoder. The text
// is UTF-8; every byte that JSON gives a meaning to is ASCII, and no byte of a longer UTF-8
// sequence is, so the text is read byte by byte without decoding.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace veskpatch::jsonScan {

// One comparison answers for every byte above the space, which is nearly every byte asked.
inline bool isWhitespace(unsigned char byte) {
    constexpr std::uint64_t spaces = std::uint64_t{1} << ' ' | 1u << '\t' | 1u << '\n' | 1u << '\r';
    return byte <= ' ' && ((spaces >> byte) & 1) != 0;
}

inline bool isDigit(unsigned char byte) { return byte >= '0' && byte <= '9'; }

inline const unsigned char* skipWhitespace(const unsigned char* at, const unsigned char* end) {
    while (at != end && isWhitespace(*at)) ++at;
    return at;
}

inline int hexValue(unsigned char byte) {
    if (byte >= '0' && byte <= '9') return byte - '0';
    if (byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
    return -1;
}

// Eight bytes at a time: the high bit of a byte of the result is set where the word has `value`.
// The lowest such byte is always marked exactly; a byte above it may be marked falsely.
inline std::uint64_t bytesEqual(std::uint64_t word, unsigned char value) {
    const std::uint64_t differences = word ^ (0x0101010101010101u * value);
    return (differences - 0x0101010101010101u) & ~differences & 0x8080808080808080u;
}

// Likewise for bytes below `bound` (at most 0x80).
inline std::uint64_t bytesBelow(std::uint64_t word, unsigned char bound) {
    return (word - 0x0101010101010101u * bound) & ~word & 0x8080808080808080u;
}

// The position of the first marked byte of a word that marks some, from the mark lowest in the
// word, which bytesEqual and bytesBelow always place exactly: words are read little-endian, so
// that is the first byte of the text.
static_assert(std::endian::native == std::endian::little);
inline int firstMarkedByte(std::uint64_t marks) { return std::countr_zero(marks) / 8; }

inline bool isPlainStringByte(unsigned char byte) { return byte >= 0x20 && byte != '"' && byte != '\\'; }

// The first byte from `at` that ends a run of string content taken as it stands: a quote, a
// backslash or a control byte; `end` when there is none. Most of a manifest is such runs.
inline const unsigned char* endOfPlainRun(const unsigned char* at, const unsigned char* end) {
    for (std::uint64_t word; end - at >= 8; at += 8) {
        std::memcpy(&word, at, 8);
        const std::uint64_t marks = bytesEqual(word, '"') | bytesEqual(word, '\\') | bytesBelow(word, 0x20);
        if (marks != 0) return at + firstMarkedByte(marks);
    }
    while (at != end && isPlainStringByte(*at)) ++at;
    return at;
}

// Whether every byte is ASCII: the bytes are OR-ed eight at a time and the high bits looked at once.
inline bool isAsciiText(const unsigned char* at, const unsigned char* end) {
    std::uint64_t seen = 0;
    for (std::uint64_t word; end - at >= 8; at += 8) {
        std::memcpy(&word, at, 8);
        seen |= word;
    }
    for (; at != end; ++at) seen |= *at;
    return (seen & 0x8080808080808080u) == 0;
}

// Whether two short texts, such as keys, are the same bytes: compared here, without the call a
// library comparison makes, which costs more than a key of a few bytes.
inline bool sameShortText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// The length of the UTF-8 sequence that starts with `lead`, in bytes and in UTF-16 units.
inline int sequenceBytes(unsigned char lead) { return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4; }
inline int sequenceUnits(unsigned char lead) { return lead < 0xF0 ? 1 : 2; }

// The well-formed character at `at`.
inline char32_t wellFormedCharacter(const unsigned char* at) {
    const unsigned char lead = at[0];
    if (lead < 0x80) return lead;
    if (lead < 0xE0) return ((lead & 0x1F) << 6) | (at[1] & 0x3F);
    if (lead < 0xF0) return ((lead & 0x0F) << 12) | ((at[1] & 0x3F) << 6) | (at[2] & 0x3F);
    return ((lead & 0x07) << 18) | ((at[1] & 0x3F) << 12) | ((at[2] & 0x3F) << 6) | (at[3] & 0x3F);
}

// The first UTF-16 unit of the well-formed character at `at`.
inline char16_t firstUtf16Unit(const unsigned char* at) {
    const char32_t character = wellFormedCharacter(at);
    return static_cast<char16_t>(character < 0x10000 ? character : 0xD800 + ((character - 0x10000) >> 10));
}

}  // namespace veskpatch::jsonScan
