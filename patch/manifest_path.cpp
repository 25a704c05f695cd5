#include "patch/manifest_path.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "patch/patch_error.h"
#include "patch/unit_match.h"

namespace veskpatch {
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

UnitMatch matchIllegalUnit(char16_t unit) {
    return matchControl(unit) | matchOneOf<u'<', u'>', u'"', u'|', u'?', u'*'>(unit);
}

// `illegal` says whether the segment holds an illegal unit, which is the last thing judged.
void checkSegment(std::u16string_view segment, bool illegal) {
    if (isEmptyOrDotSegment(segment)) throw PatchError(emptyOrDotSegment);
    if (segment.back() == u'.' || segment.back() == u' ' || isReservedDeviceName(segment))
        throw PatchError(reservedOrTrailing);
    if (illegal) throw PatchError(illegalUnit);
}

}  // namespace

std::u16string normalizeManifestPath(std::u16string raw) {
    if (raw.empty() || raw.size() > maxPathUnits) throw PatchError(emptyOrTooLong);
    // Every segment must be non-empty, so swapping the separators is the whole normalisation. A
    // colon is how Windows spells a drive, a device path and an alternate data stream.
    for (char16_t& unit : raw) unit = unit == u'/' ? u'\\' : unit;  // a store for every unit, which vectorises
    if (raw.front() == u'\\' || anyUnit(raw, matchOneOf<u':'>)) throw PatchError(absoluteUncOrStream);
    // Nearly every path holds no illegal unit: one look at the whole spares each segment its own.
    const bool illegal = anyUnit(raw, matchIllegalUnit);
    forEachSegment(raw, u'\\', [&](std::u16string_view segment) {
        checkSegment(segment, illegal && anyUnit(segment, matchIllegalUnit));
    });
    return raw;
}

bool isReservedDeviceName(std::u16string_view segment) {
    // The stem is taken as written: the updater accepts "CON .txt", so the tool must too. Only a
    // stem of three or four units can name a device, so the dot is looked for in the first five.
    const std::u16string_view firstFive = segment.substr(0, 5);
    const std::u16string_view stem = firstFive.substr(0, firstFive.find(u'.'));
    if (stem.size() != 3 && stem.size() != 4) return false;
    const std::u16string_view head = stem.substr(0, 3);
    const auto sameHead = [&](std::u16string_view name) { return isSameTarget(head, name); };
    if (stem.size() == 3) return std::ranges::any_of(plainDeviceStems, sameHead);
    return std::ranges::any_of(numberedDevicePrefixes, sameHead) && isDevicePortDigit(stem[3]);
}

std::u16string pathCompareKey(std::u16string_view normalised) {
    std::u16string key(normalised);
    std::ranges::transform(key, key.begin(), asciiUpper);
    return key;
}

bool isSameTarget(std::u16string_view a, std::u16string_view b) {
    return std::ranges::equal(a, b, [](char16_t x, char16_t y) { return asciiUpper(x) == asciiUpper(y); });
}

std::uint64_t targetHash(std::u16string_view normalised) {
    // Four units at a time, each word mixed in with one multiplication. Clearing bit 5 of every
    // unit takes a-z to A-Z, so that paths isSameTarget calls the same hash alike; it also joins a
    // few pairs that are not the same target ('0' and U+0010), which only costs a comparison.
    constexpr std::uint64_t foldCase = 0xFFDFFFDFFFDFFFDFu;
    std::uint64_t hash = normalised.size();
    const auto mix = [&](std::uint64_t word) {
        hash = (hash ^ (word & foldCase)) * 0x9E3779B97F4A7C15u;
        hash ^= hash >> 29;
    };
    const char16_t* at = normalised.data();
    const char16_t* const end = at + normalised.size();
    for (std::uint64_t word; end - at >= 4; at += 4) {
        std::memcpy(&word, at, sizeof word);
        mix(word);
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, at, static_cast<std::size_t>(end - at) * sizeof(char16_t));
    mix(tail);
    return hash;
}

}  // namespace veskpatch
