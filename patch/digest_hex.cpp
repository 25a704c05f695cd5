#include "patch/digest.h"

#include <array>

#include "patch/patch_error.h"

namespace veskpatch {
namespace {

constexpr std::size_t hexLength = 64;

constexpr unsigned notHex = 16;

// The value of every ASCII character as a hex digit, notHex for the others.
constexpr std::array<unsigned char, 128> hexDigitValues = [] {
    std::array<unsigned char, 128> values{};
    values.fill(notHex);
    for (unsigned digit = 0; digit < 10; ++digit) values['0' + digit] = static_cast<unsigned char>(digit);
    for (unsigned letter = 0; letter < 6; ++letter) {
        values['a' + letter] = static_cast<unsigned char>(10 + letter);
        values['A' + letter] = static_cast<unsigned char>(10 + letter);
    }
    return values;
}();

unsigned hexDigitValue(char32_t unit) { return unit < hexDigitValues.size() ? hexDigitValues[unit] : notHex; }

template <typename Text>
Sha256 digestFromHex(Text text) {
    if (text.size() != hexLength) throw PatchError("SHA-256 文本长度必须是 64。");
    // Every digit is read before any is judged: there is one message for every fault, and the
    // loop runs without a branch. notHex is the only value with bit 4 set.
    Sha256 digest{};
    unsigned faults = 0;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const unsigned high = hexDigitValue(static_cast<char32_t>(text[2 * i]));
        const unsigned low = hexDigitValue(static_cast<char32_t>(text[2 * i + 1]));
        faults |= high | low;
        digest[i] = static_cast<unsigned char>(high * 16 + low);
    }
    if (faults & notHex) throw PatchError("SHA-256 包含非十六进制字符。");
    return digest;
}

}  // namespace

std::u16string sha256ToHex(const Sha256& digest) {
    constexpr char16_t digits[] = u"0123456789ABCDEF";
    std::u16string text;
    text.reserve(hexLength);
    for (unsigned char byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

Sha256 sha256FromHex(std::u16string_view text) { return digestFromHex(text); }

Sha256 sha256FromHex(std::string_view asciiText) { return digestFromHex(asciiText); }

}  // namespace veskpatch
