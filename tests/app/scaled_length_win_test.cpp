#include <gtest/gtest.h>

#include <windows.h>

#include "app/control_layout.h"

// The layout computes its own MulDiv so that it runs everywhere; here it meets the real one.
TEST(WindowLayout, ScalingAgreesWithTheSystemsMulDiv) {
    for (const int dpi : {72, 96, 100, 120, 125, 144, 168, 192, 240, 288}) {
        for (int length = -800; length <= 800; ++length) {
            ASSERT_EQ(veskcheck::scaledLength(length, dpi), MulDiv(length, dpi, 96)) << length << " at " << dpi;
        }
    }
}
