#include "expected_layout.h"

#include <algorithm>

namespace vesktest {

std::array<RECT, controlCount> layoutTable(SIZE client, int dpi) {
    const auto s = [dpi](int length) { return MulDiv(length, dpi, 96); };
    const auto rect = [](int x, int y, int width, int height) {
        return RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    };
    const int m = s(20);
    const int w = client.cx;
    const int h = client.cy;
    std::array<RECT, controlCount> rects{rect(m, m, w - 2 * m, s(36)), rect(m, s(62), w - 2 * m, h - s(170)),
                                         rect(m, h - s(98), w - 2 * m, s(36))};
    for (std::size_t i = 0; i < 4; ++i) rects[3 + i] = rect(m + static_cast<int>(i) * s(166), h - s(52), s(154), s(32));
    return rects;
}

}  // namespace vesktest
