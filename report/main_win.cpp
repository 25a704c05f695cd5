#include <windows.h>

#include <iostream>

#include "report/report_tool.h"

int wmain(int argc, wchar_t** argv) {
    // The output is UTF-8; the console shows it as such only when told.
    SetConsoleOutputCP(CP_UTF8);
    const std::vector<std::filesystem::path> arguments(argv + 1, argv + argc);
    return veskreport::runReportTool(arguments, std::cout, std::cerr);
}
