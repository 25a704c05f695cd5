#include <iostream>

#include "report/report_tool.h"

int main(int argc, char** argv) {
    // Arguments are the system's own bytes, so any file name is found as it is.
    const std::vector<std::filesystem::path> arguments(argv + 1, argv + argc);
    return veskreport::runReportTool(arguments, std::cout, std::cerr);
}
