#pragma once

#include <array>

namespace veskcheck {

// All window lengths are designed at 96 DPI; `dpi` is the logical pixels per inch in use.
inline constexpr int designDpi = 96;

// length × dpi / 96, rounded to the nearest integer with halves away from zero, as MulDiv rounds.
int scaledLength(int length, int dpi);

struct PixelSize {
    int width = 0;
    int height = 0;
    bool operator==(const PixelSize&) const = default;
};

struct ControlRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ControlRect&) const = default;
};

// The seven controls' places in the order they are created and laid out.
namespace controlSlot {
inline constexpr int status = 0;
inline constexpr int advice = 1;
inline constexpr int note = 2;
inline constexpr int retry = 3;  // then save, copy and the date and time button
}  // namespace controlSlot
inline constexpr int controlSlotCount = 7;

PixelSize initialWindowSize(int dpi);
PixelSize minimumTrackingSize(int dpi);
// The height passed to CreateFontW: negative, so it is the character height rather than the cell.
int fontHeight(int dpi);

// Where each control goes in a client area of `client` pixels. Nothing is clamped: a client area
// smaller than the design (a minimised window) gives negative sizes, which the system treats as 0.
// Buttons keep their slot whether shown or not.
std::array<ControlRect, controlSlotCount> layoutControls(PixelSize client, int dpi);

}  // namespace veskcheck
