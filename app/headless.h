#pragma once

#include <string>

namespace veskcheck {

// Exit codes of the headless mode.
inline constexpr int headlessReportWritten = 0;
inline constexpr int headlessReportNotWritten = 2;
inline constexpr int headlessRunFailed = 3;

// Runs one check on this thread and writes its report to a new file at `reportPath`. Shows and
// prints nothing: the exit code is the whole answer.
int runHeadless(const std::u16string& reportPath);

}  // namespace veskcheck
