#pragma once

#include <filesystem>
#include <ostream>
#include <vector>

namespace veskreport {

// vesk-report's whole run: reads every report named by the arguments (files, or folders walked
// for their files), prints what was asked for to `out` and one line per refused file to `err`.
// Returns 0 when every file was a report, 1 when some were refused, 2 for a wrong command line.
int runReportTool(const std::vector<std::filesystem::path>& arguments, std::ostream& out, std::ostream& err);

}  // namespace veskreport
