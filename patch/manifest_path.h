#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace veskpatch {

// Checks one manifest target path (relative to the installation folder) and returns it with
// every separator turned into a backslash. Throws PatchError with one of five fixed messages.
std::u16string normalizeManifestPath(std::u16string raw);

// True for a segment whose stem (the part before the first dot) is a Windows device name.
bool isReservedDeviceName(std::u16string_view segment);

// The path with ASCII a-z upper-cased and every other unit unchanged: two paths name the same
// target when their keys are equal.
std::u16string pathCompareKey(std::u16string_view normalised);

// pathCompareKey(a) == pathCompareKey(b), without building either key.
bool isSameTarget(std::u16string_view a, std::u16string_view b);

// A hash that agrees with isSameTarget: paths that name the same target hash alike.
std::uint64_t targetHash(std::u16string_view normalised);

// True for a segment that names no child of its directory: empty, "." or "..".
inline bool isEmptyOrDotSegment(std::u16string_view segment) {
    return segment.empty() || segment == u"." || segment == u"..";
}

// Calls `visit` with each part of `text` between `separator`s, in order, empty parts included.
template <typename Visit>
void forEachSegment(std::u16string_view text, char16_t separator, Visit&& visit) {
    for (std::size_t start = 0;;) {
        const std::size_t stop = text.find(separator, start);
        visit(text.substr(start, stop - start));
        if (stop == std::u16string_view::npos) return;
        start = stop + 1;
    }
}

}  // namespace veskpatch
