#include "report/control_characters.h"

#include <cstdio>

#include "report/utf8_characters.h"

namespace veskreport {

bool isControlCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string terminalSafe(std::string_view utf8) {
    std::string safe;
    safe.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const auto [character, length] = utf8CharacterAt(utf8, at);
        // A U+FFFD of the text itself is written as the replacement too, which it is anyway.
        safe += isControlCharacter(character) || character == replacementCharacter ? replacementUtf8
                                                                                   : utf8.substr(at, length);
        at += length;
    }
    return safe;
}

std::string withControlsEscaped(std::string_view json) {
    std::string escaped;
    escaped.reserve(json.size());
    for (std::size_t at = 0; at < json.size();) {
        const auto [character, length] = utf8CharacterAt(json, at);
        if (isControlCharacter(character)) {
            // Every control character lies below U+10000, so one escape spells it.
            char escape[7];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(character));
            escaped += escape;
        } else {
            escaped += json.substr(at, length);
        }
        at += length;
    }
    return escaped;
}

}  // namespace veskreport
