#pragma once

// Where the window's controls must be, written out here on its own rather than taken from the
// program's layout code, so that a change to the program's layout shows up as a failing case.
#include <windows.h>

#include <array>

#include "driver_case.h"

namespace vesktest {

// Where each control must be for a client area of `client` at `dpi`, scaled with the system's own
// MulDiv. A size below zero is placed as zero.
std::array<RECT, controlCount> layoutTable(SIZE client, int dpi);

}  // namespace vesktest
