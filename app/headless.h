#pragma once

#include <filesystem>

#include "app/run_function.h"

namespace veskcheck {

// Exit codes of the headless mode.
inline constexpr int headlessReportWritten = 0;
inline constexpr int headlessReportNotWritten = 2;
inline constexpr int headlessRunFailed = 3;

// Runs one check on this thread and writes its report to a new file at `reportPath`. Shows and
// prints nothing: the exit code is the whole answer. `run` is the check run, unless a test puts a
// scripted run in its place.
int runHeadless(const std::filesystem::path& reportPath, const RunFunction& run = realCheckRun);

}  // namespace veskcheck
