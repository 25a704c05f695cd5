#include <gtest/gtest.h>

#include "app/control_layout.h"

using namespace veskcheck;

TEST(WindowLayout, ScalesAsMulDivRoundsHalvesAwayFromZero) {
    // clang-format off
    const struct {
        int length;
        int dpi;
        int scaled;
    } cases[] = {
        {20, 96, 20},  {17, 144, 26},  {62, 120, 78}, {17, 120, 21}, {1, 48, 1},     {1, 47, 0},
        {-17, 144, -26}, {-1, 48, -1}, {0, 144, 0},   {780, 192, 1560}, {166, 72, 125}, {580, 1, 6},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.length) + " at " + std::to_string(c.dpi));
        EXPECT_EQ(scaledLength(c.length, c.dpi), c.scaled);
    }
}

TEST(WindowLayout, WindowSizeMinimumAndFontFollowTheDpi) {
    const struct {
        int dpi;
        PixelSize window;
        PixelSize minimum;
        int font;
    } cases[] = {
        {96, {780, 580}, {740, 520}, -17},
        {120, {975, 725}, {925, 650}, -21},
        {144, {1170, 870}, {1110, 780}, -26},  // 25.5 rounds up
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dpi);
        EXPECT_EQ(initialWindowSize(c.dpi), c.window);
        EXPECT_EQ(minimumTrackingSize(c.dpi), c.minimum);
        EXPECT_EQ(fontHeight(c.dpi), c.font);
    }
}

TEST(WindowLayout, PlacesEveryControlFromTheClientSize) {
    using Rects = std::array<ControlRect, controlSlotCount>;
    // clang-format off
    const struct {
        PixelSize client;
        int dpi;
        Rects rects;  // status, advice, note, then the buttons 101 to 104
    } cases[] = {
        // 20-pixel margins, 12 pixels between buttons, the text area ending 10 pixels above the note.
        {{740, 500}, 96,
         {{{20, 20, 700, 36}, {20, 62, 700, 330}, {20, 402, 700, 36},
           {20, 448, 154, 32}, {186, 448, 154, 32}, {352, 448, 154, 32}, {518, 448, 154, 32}}}},
        // The button step is scaled on its own: the third button is at 25 + 2 × 208, not at 352 × 1.25.
        {{925, 625}, 120,
         {{{25, 25, 875, 45}, {25, 78, 875, 412}, {25, 502, 875, 45},
           {25, 560, 193, 40}, {233, 560, 193, 40}, {441, 560, 193, 40}, {649, 560, 193, 40}}}},
        {{1110, 750}, 144,
         {{{30, 30, 1050, 54}, {30, 93, 1050, 495}, {30, 603, 1050, 54},
           {30, 672, 231, 48}, {279, 672, 231, 48}, {528, 672, 231, 48}, {777, 672, 231, 48}}}},
        // A minimised window has no client area; nothing is clamped.
        {{0, 0}, 96,
         {{{20, 20, -40, 36}, {20, 62, -40, -170}, {20, -98, -40, 36},
           {20, -52, 154, 32}, {186, -52, 154, 32}, {352, -52, 154, 32}, {518, -52, 154, 32}}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.client.width) + "x" + std::to_string(c.client.height) + " at " +
                     std::to_string(c.dpi));
        const Rects rects = layoutControls(c.client, c.dpi);
        for (int slot = 0; slot < controlSlotCount; ++slot) {
            SCOPED_TRACE(slot);
            EXPECT_EQ(rects[slot], c.rects[slot]);
        }
    }
}
