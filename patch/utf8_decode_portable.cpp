#include "patch/utf8_decode.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "patch/json_scan.h"
#include "patch/patch_error.h"

namespace veskpatch {
namespace {

constexpr char32_t illFormed = 0xFFFFFFFF;

// Reads the character of two to four bytes that starts at `at` and moves past it, or answers
// illFormed. Only the well-formed sequences of the Unicode standard pass: no overlong form, no
// encoded surrogate, nothing above U+10FFFF, no truncated sequence and no stray continuation byte.
char32_t nextMultiByteCharacter(const unsigned char*& at, const unsigned char* end) {
    const unsigned char lead = *at;
    // The second byte's range is what excludes overlong forms, surrogates and values past U+10FFFF.
    std::ptrdiff_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return illFormed;
    }
    if (end - at < length || at[1] < low || at[1] > high) return illFormed;
    for (std::ptrdiff_t i = 1; i < length; ++i) {
        if ((at[i] & 0xC0) != 0x80) return illFormed;
        value = (value << 6) | (at[i] & 0x3F);
    }
    at += length;
    return value;
}

const unsigned char* endOfAsciiRun(const unsigned char* at, const unsigned char* end) {
    // Eight bytes at a time: a manifest is nearly all ASCII.
    for (std::uint64_t word; end - at >= 8; at += 8) {
        std::memcpy(&word, at, 8);
        if (const std::uint64_t high = word & 0x8080808080808080u) return at + jsonScan::firstMarkedByte(high);
    }
    while (at != end && *at < 0x80) ++at;
    return at;
}

// Walks the bytes as runs of ASCII and single longer characters; throws at the first ill-formed
// sequence.
template <typename OnAsciiRun, typename OnCharacter>
void walkUtf8(std::span<const unsigned char> bytes, OnAsciiRun&& onAsciiRun, OnCharacter&& onCharacter) {
    const unsigned char* at = bytes.data();
    const unsigned char* const end = at + bytes.size();
    while (at != end) {
        const unsigned char* const runEnd = endOfAsciiRun(at, end);
        onAsciiRun(at, runEnd);
        at = runEnd;
        if (at == end) break;
        const char32_t character = nextMultiByteCharacter(at, end);
        if (character == illFormed) throw PatchError("JSON 不是有效的 UTF-8。");
        onCharacter(character);
    }
}

}  // namespace

void checkUtf8Strict(std::span<const unsigned char> bytes) {
    walkUtf8(
        bytes, [](const unsigned char*, const unsigned char*) {}, [](char32_t) {});
}

void decodeUtf8Strict(std::span<const unsigned char> bytes, std::u16string& text) {
    // A text has no more UTF-16 units than UTF-8 bytes: one pass writes it into room for that many
    // (exactly its length when it is ASCII, as most are), and the text is cut to what was written.
    text.resize(bytes.size());
    char16_t* out = text.data();
    walkUtf8(
        bytes, [&](const unsigned char* begin, const unsigned char* end) { out = std::copy(begin, end, out); },
        [&](char32_t c) {
            if (c > 0xFFFF) {
                *out++ = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
                *out++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
            } else {
                *out++ = static_cast<char16_t>(c);
            }
        });
    text.resize(static_cast<std::size_t>(out - text.data()));
}

}  // namespace veskpatch
