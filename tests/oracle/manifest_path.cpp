#include "oracle/manifest_path.h"

#include <algorithm>
#include <array>

#include "patch/patch_error.h"

namespace veskoracle {

using veskpatch::PatchError;

namespace {

constexpr std::size_t maxPathUnits = 1024;

constexpr char emptyOrTooLong[] = "清单路径为空或过长。";
constexpr char absoluteUncOrStream[] = "清单路径不得是绝对路径、UNC 路径或 ADS。";
constexpr char emptyOrDotSegment[] = "清单路径包含空段、点段或上级目录。";
constexpr char reservedOrTrailing[] = "清单路径包含 Windows 保留名称或尾随点/空格。";
constexpr char illegalUnit[] = "清单路径包含 Windows 非法字符。";

constexpr std::array<std::u16string_view, 4> plainDeviceStems = {u"CON", u"PRN", u"AUX", u"NUL"};
constexpr std::array<std::u16string_view, 2> numberedDevicePrefixes = {u"COM", u"LPT"};

char16_t asciiUpper(char16_t unit) {
    return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - u'a' + u'A') : unit;
}

// The updater judges ports by the digits 1 to 9 only; the tool must give the updater's verdict.
bool isDevicePortDigit(char16_t unit) { return unit >= u'1' && unit <= u'9'; }

bool isIllegalUnit(char16_t unit) {
    return unit < 0x20 || unit == u'<' || unit == u'>' || unit == u'"' || unit == u'|' || unit == u'?' || unit == u'*';
}

void checkSegment(std::u16string_view segment) {
    if (isEmptyOrDotSegment(segment)) throw PatchError(emptyOrDotSegment);
    if (segment.back() == u'.' || segment.back() == u' ' || isReservedDeviceName(segment))
        throw PatchError(reservedOrTrailing);
    if (std::ranges::any_of(segment, isIllegalUnit)) throw PatchError(illegalUnit);
}

}  // namespace

std::u16string normalizeManifestPath(std::u16string_view raw) {
    if (raw.empty() || raw.size() > maxPathUnits) throw PatchError(emptyOrTooLong);
    // A colon is how Windows spells a drive, a device path and an alternate data stream.
    if (raw.front() == u'/' || raw.front() == u'\\' || raw.find(u':') != std::u16string_view::npos)
        throw PatchError(absoluteUncOrStream);
    // Every segment must be non-empty, so swapping the separators is the whole normalisation.
    std::u16string normalised(raw);
    std::ranges::replace(normalised, u'/', u'\\');
    forEachSegment(normalised, u'\\', checkSegment);
    return normalised;
}

bool isReservedDeviceName(std::u16string_view segment) {
    // The stem is taken as written: the updater accepts "CON .txt", so the tool must too.
    const std::u16string_view stem = segment.substr(0, segment.find(u'.'));
    if (stem.size() != 3 && stem.size() != 4) return false;
    const std::u16string upper = pathCompareKey(stem);
    const std::u16string_view head = std::u16string_view(upper).substr(0, 3);
    if (upper.size() == 3) return std::ranges::find(plainDeviceStems, head) != plainDeviceStems.end();
    return std::ranges::find(numberedDevicePrefixes, head) != numberedDevicePrefixes.end() &&
           isDevicePortDigit(upper[3]);
}

std::u16string pathCompareKey(std::u16string_view normalised) {
    std::u16string key(normalised);
    std::ranges::transform(key, key.begin(), asciiUpper);
    return key;
}

bool isEmptyOrDotSegment(std::u16string_view segment) { return segment.empty() || segment == u"." || segment == u".."; }

}  // namespace veskoracle
