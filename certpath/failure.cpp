#include "certpath/failure.h"

namespace veskcheck {

std::u16string statusCodeText(std::uint32_t code) {
    static constexpr char16_t hexDigits[] = u"0123456789ABCDEF";
    std::u16string text = u"0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += hexDigits[(code >> shift) & 0xF];
    return text;
}

}  // namespace veskcheck
