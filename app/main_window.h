#pragma once

// The window mode of the program. Windows only.
#include <windows.h>

#include "app/run_function.h"
#include "app/run_lifecycle.h"

namespace veskcheck {

// Exit codes of the window mode.
inline constexpr int windowClosed = 0;
inline constexpr int windowUnavailable = 1;

// Opens the one window, runs a check at once on a worker thread, and returns when the window has
// been closed and no worker is left. `run` is what each worker runs: the check run, unless a test
// build puts a scripted run in its place.
int runWindow(HINSTANCE instance, int showCommand, RunFunction run = realCheckRun);

}  // namespace veskcheck
