#pragma once

#include <string>
#include <string_view>

namespace veskoracle {

// Checks one manifest target path (relative to the installation folder) and returns it with
// every separator turned into a backslash. Throws PatchError with one of five fixed messages.
std::u16string normalizeManifestPath(std::u16string_view raw);

// True for a segment whose stem (the part before the first dot) is a Windows device name.
bool isReservedDeviceName(std::u16string_view segment);

// The path with ASCII a-z upper-cased and every other unit unchanged.
std::u16string pathCompareKey(std::u16string_view normalised);

// True for a segment that names no child of its directory: empty, "." or "..".
bool isEmptyOrDotSegment(std::u16string_view segment);

// Calls visit(segment) for every piece of `text` between `separator`s, in order. A leading,
// doubled or trailing separator yields an empty piece, so a caller sees every way a path can be
// malformed.
template <typename Visit>
void forEachSegment(std::u16string_view text, char16_t separator, Visit&& visit) {
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        visit(text.substr(start, end - start));
        if (end == std::u16string_view::npos) return;
        start = end + 1;
    }
}

}  // namespace veskoracle
