#pragma once

// What an accepted target path must be, written down apart from the path rules themselves, so
// that a fuzzer checks the outcome rather than repeating the implementation: 1 to 1024 units,
// backslash separators only, no colon, no empty, "." or ".." segment, no segment ending in a dot
// or a space, no Windows device stem, no unit Windows refuses in a name.
#include <array>
#include <string_view>

namespace vesktest {

inline char16_t asciiUpper(char16_t unit) { return unit >= u'a' && unit <= u'z' ? unit - (u'a' - u'A') : unit; }

inline bool isDeviceStem(std::u16string_view segment) {
    const std::u16string_view stem = segment.substr(0, segment.find(u'.'));
    std::u16string upper(stem);
    for (char16_t& unit : upper) unit = asciiUpper(unit);
    for (const std::u16string_view device : {u"CON", u"PRN", u"AUX", u"NUL"})
        if (upper == device) return true;
    const bool numbered = upper.size() == 4 && (upper.starts_with(u"COM") || upper.starts_with(u"LPT"));
    return numbered && upper[3] >= u'1' && upper[3] <= u'9';
}

inline bool isSafeSegment(std::u16string_view segment) {
    if (segment.empty() || segment == u"." || segment == u"..") return false;
    if (segment.back() == u'.' || segment.back() == u' ' || isDeviceStem(segment)) return false;
    for (const char16_t unit : segment)
        if (unit < 0x20 || std::u16string_view(u"<>\"|?*:/").find(unit) != std::u16string_view::npos) return false;
    return true;
}

inline bool isSafeTargetPath(std::u16string_view path) {
    if (path.empty() || path.size() > 1024) return false;
    for (std::size_t start = 0;;) {
        const std::size_t end = path.find(u'\\', start);
        if (!isSafeSegment(path.substr(start, end - start))) return false;
        if (end == std::u16string_view::npos) return true;
        start = end + 1;
    }
}

}  // namespace vesktest
