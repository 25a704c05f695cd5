#pragma once

#include <string>
#include <vector>

namespace vesktest {

// FF FE and the text as UTF-16LE: the bytes of a report file as the program writes it.
inline std::vector<unsigned char> reportFileBytes(const std::u16string& text) {
    std::vector<unsigned char> bytes{0xFF, 0xFE};
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

}  // namespace vesktest
