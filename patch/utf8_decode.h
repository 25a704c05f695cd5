#pragma once

#include <span>
#include <string>
#include <string_view>

namespace veskpatch {

// Converts well-formed UTF-8 to UTF-16 (characters beyond U+FFFF as surrogate pairs) into `text`,
// replacing what it held and reusing its room. Any ill-formed sequence, anywhere, raises
// PatchError "JSON 不是有效的 UTF-8。". An empty input gives an empty text.
void decodeUtf8Strict(std::span<const unsigned char> bytes, std::u16string& text);

inline std::u16string decodeUtf8Strict(std::span<const unsigned char> bytes) {
    std::u16string text;
    decodeUtf8Strict(bytes, text);
    return text;
}

// The same verdict without producing the text.
void checkUtf8Strict(std::span<const unsigned char> bytes);

inline std::u16string decodeUtf8Strict(std::string_view text) {
    return decodeUtf8Strict({reinterpret_cast<const unsigned char*>(text.data()), text.size()});
}

}  // namespace veskpatch
