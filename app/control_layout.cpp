#include "app/control_layout.h"

#include <cstdint>

namespace veskcheck {

int scaledLength(int length, int dpi) {
    const std::int64_t product = std::int64_t{length} * dpi;
    const std::int64_t half = designDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / designDpi : -((-product + half) / designDpi));
}

PixelSize initialWindowSize(int dpi) { return {scaledLength(780, dpi), scaledLength(580, dpi)}; }

PixelSize minimumTrackingSize(int dpi) { return {scaledLength(740, dpi), scaledLength(520, dpi)}; }

int fontHeight(int dpi) { return -scaledLength(17, dpi); }

std::array<ControlRect, controlSlotCount> layoutControls(PixelSize client, int dpi) {
    const auto s = [dpi](int length) { return scaledLength(length, dpi); };
    const int m = s(20);
    const int w = client.width;
    const int h = client.height;
    std::array<ControlRect, controlSlotCount> rects;
    rects[controlSlot::status] = {m, m, w - 2 * m, s(36)};
    rects[controlSlot::advice] = {m, s(62), w - 2 * m, h - s(170)};
    rects[controlSlot::note] = {m, h - s(98), w - 2 * m, s(36)};
    for (int i = 0; i < 4; ++i) rects[controlSlot::retry + i] = {m + i * s(166), h - s(52), s(154), s(32)};
    return rects;
}

}  // namespace veskcheck
