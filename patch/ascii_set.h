#pragma once

#include <cstdint>
#include <string_view>

namespace veskpatch {

// A set of ASCII characters tested with one lookup: the path and URL rules ask it of every unit of
// every entry.
class AsciiSet {
public:
    constexpr explicit AsciiSet(std::string_view members) {
        for (const char member : members) add(static_cast<unsigned char>(member));
    }
    // The same set with the control characters U+0000 to U+001F added.
    constexpr AsciiSet withControls() const {
        AsciiSet set = *this;
        for (unsigned char control = 0; control < 0x20; ++control) set.add(control);
        return set;
    }
    constexpr bool contains(char32_t unit) const { return unit < 128 && ((bits_[unit >> 6] >> (unit & 63)) & 1) != 0; }

private:
    constexpr void add(unsigned char member) { bits_[member >> 6] |= std::uint64_t{1} << (member & 63); }

    std::uint64_t bits_[2] = {0, 0};
};

}  // namespace veskpatch
