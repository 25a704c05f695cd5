#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace veskcheck {

// The pieces joined, as one text: the report's lines are fixed words and values in turn.
inline std::u16string joined(std::initializer_list<std::u16string_view> pieces) {
    std::u16string text;
    for (const std::u16string_view piece : pieces) text += piece;
    return text;
}

}  // namespace veskcheck
