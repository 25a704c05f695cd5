#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "patch/patch_error.h"

namespace vesktest {

// Asserts that `action` throws PatchError carrying exactly `message`.
template <typename Action>
void expectPatchError(Action&& action, const char* message) {
    try {
        action();
        ADD_FAILURE() << "expected PatchError: " << message;
    } catch (const veskpatch::PatchError& e) {
        EXPECT_STREQ(e.what(), message);
    }
}

// UTF-16 to UTF-8 for test messages only (SCOPED_TRACE, failure output).
inline std::string toUtf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The bytes of a UTF-8 literal, as the manifest code takes them.
inline std::vector<unsigned char> bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

}  // namespace vesktest
