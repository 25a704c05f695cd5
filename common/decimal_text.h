#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace veskcheck {

// Plain decimal digits, zero-padded to at least `minimumDigits`, as "%0Nu" prints them.
inline std::u16string decimalText(std::uint64_t value, std::size_t minimumDigits = 1) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value != 0);
    if (digits.size() < minimumDigits) digits.insert(0, minimumDigits - digits.size(), u'0');
    return digits;
}

}  // namespace veskcheck
