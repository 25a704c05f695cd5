#include "patch/digest.h"

#include <array>
#include <cstdint>
#include <type_traits>

#include "patch/patch_error.h"

namespace veskpatch {
namespace {

constexpr std::size_t hexLength = 64;

constexpr std::uint16_t notHex = 0x100;

// The value of a hex digit, notHex for any other unit. Arithmetic rather than a table, so that
// the compiler reads many digits at once.
template <typename Unit>
std::uint16_t hexDigitValue(Unit text) {
    const auto unit = static_cast<std::uint16_t>(static_cast<std::make_unsigned_t<Unit>>(text));
    const auto digit = static_cast<std::uint16_t>(unit - u'0');
    const auto letter = static_cast<std::uint16_t>((unit | 0x20) - u'a');  // 'A' to 'F' as 'a' to 'f'
    if (digit < 10) return digit;
    return letter < 6 ? static_cast<std::uint16_t>(letter + 10) : notHex;
}

template <typename Text>
Sha256 digestFromHex(Text text) {
    if (text.size() != hexLength) throw PatchError("SHA-256 文本长度必须是 64。");
    // Every digit is read before any is judged: there is one message for every fault, and the
    // loop runs without a branch.
    Sha256 digest{};
    std::uint16_t faults = 0;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const std::uint16_t high = hexDigitValue(text[2 * i]);
        const std::uint16_t low = hexDigitValue(text[2 * i + 1]);
        faults |= high | low;
        digest[i] = static_cast<unsigned char>(high * 16 + low);
    }
    if (faults >= notHex) throw PatchError("SHA-256 包含非十六进制字符。");
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
