#include "patch/digest.h"

#include "patch/patch_error.h"

namespace veskpatch {
namespace {

constexpr std::size_t hexLength = 64;

unsigned hexDigitValue(char16_t unit) {
    if (unit >= u'0' && unit <= u'9') return unit - u'0';
    if (unit >= u'a' && unit <= u'f') return unit - u'a' + 10;
    if (unit >= u'A' && unit <= u'F') return unit - u'A' + 10;
    throw PatchError("SHA-256 包含非十六进制字符。");
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

Sha256 sha256FromHex(std::u16string_view text) {
    if (text.size() != hexLength) throw PatchError("SHA-256 文本长度必须是 64。");
    Sha256 digest{};
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const unsigned high = hexDigitValue(text[2 * i]);
        const unsigned low = hexDigitValue(text[2 * i + 1]);
        digest[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return digest;
}

}  // namespace veskpatch
