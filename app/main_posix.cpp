// The development host's entry point: the same check and report, headless only.
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/headless.h"
#include "patch/patch_error.h"
#include "patch/utf8_decode.h"

namespace {

constexpr int windowModeUnavailable = 1;

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::u16string> arguments;
    try {
        for (int i = 0; i < argc; ++i) arguments.push_back(veskpatch::decodeUtf8Strict(argv[i]));
    } catch (const veskpatch::PatchError&) {
        // A file name that is not UTF-8 cannot be written under its own name.
        return veskcheck::headlessReportNotWritten;
    }
    if (const auto reportPath = veskcheck::headlessReportPath(arguments)) return veskcheck::runHeadless(*reportPath);
    std::fprintf(stderr, "vesk-check: the window exists only in the Windows build; run `vesk-check --report FILE` "
                         "for a headless check\n");
    return windowModeUnavailable;
}
