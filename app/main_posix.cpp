// The development host's entry point: the same check and report, headless only.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/headless.h"

namespace {

constexpr int windowModeUnavailable = 1;

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv, argv + argc);
    if (const auto reportPath = veskcheck::headlessReportPath<std::string>(arguments))
        return veskcheck::runHeadless(std::filesystem::path(*reportPath));
    std::fprintf(stderr,
                 "vesk-check: the window exists only in the Windows build; run `vesk-check --report FILE` "
                 "for a headless check\n");
    return windowModeUnavailable;
}
