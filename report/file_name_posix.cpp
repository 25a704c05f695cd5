#include "report/file_name.h"

#include "report/utf8_characters.h"

namespace veskreport {

// A name is the system's own bytes, which need not be UTF-8.
std::string fileName(const std::filesystem::path& file) {
    const std::string_view name = file.native();
    std::string utf8;
    utf8.reserve(name.size());
    for (std::size_t at = 0; at < name.size();) {
        const auto [character, length] = utf8CharacterAt(name, at);
        utf8 += character == replacementCharacter ? replacementUtf8 : name.substr(at, length);
        at += length;
    }
    return utf8;
}

}  // namespace veskreport
