#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "report/report_tool.h"

namespace vesktest {

// One whole run of vesk-report in this process: its exit code and what it printed.
struct ReportToolRun {
    int exitCode;
    std::string out;
    std::string err;
};

inline ReportToolRun runReportTool(const std::vector<std::filesystem::path>& arguments) {
    std::ostringstream out, err;
    const int exitCode = veskreport::runReportTool(arguments, out, err);
    return {exitCode, out.str(), err.str()};
}

}  // namespace vesktest
