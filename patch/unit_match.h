#pragma once

#include <cstdint>
#include <string_view>

namespace veskpatch {

// Tests of one UTF-16 unit against a few ASCII characters, written so that a loop asking one of
// every unit of a text compiles to comparisons of many units at once: no branch, no table, and an
// answer as wide as the unit (all ones for a match, else zero) that the loop ORs together. The
// path and URL rules ask them of every unit of every entry.
using UnitMatch = std::uint16_t;

constexpr UnitMatch matchIf(bool matches) { return static_cast<UnitMatch>(-static_cast<UnitMatch>(matches)); }

template <char16_t... members>
constexpr UnitMatch matchOneOf(char16_t unit) {
    return (matchIf(unit == members) | ...);
}

// U+0000 to U+001F.
constexpr UnitMatch matchControl(char16_t unit) { return matchIf(unit < 0x20); }

// Whether `match` matches any unit of `text`. It reads every unit, without stopping at the first:
// the texts are short and nearly always pass.
template <typename Match>
bool anyUnit(std::u16string_view text, Match match) {
    UnitMatch any = 0;
    for (const char16_t unit : text) any |= match(unit);
    return any != 0;
}

}  // namespace veskpatch
