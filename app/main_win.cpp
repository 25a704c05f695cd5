// The Windows entry point: headless with exactly "--report FILE", otherwise the window.
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "app/command_line.h"
#include "app/headless.h"
#include "common/win_text.h"

namespace {

constexpr int windowModeUnavailable = 1;

// The argument array CommandLineToArgvW allocates, released with LocalFree.
class ArgumentArray {
public:
    ArgumentArray() : arguments_(CommandLineToArgvW(GetCommandLineW(), &count_)) {}
    ArgumentArray(const ArgumentArray&) = delete;
    ArgumentArray& operator=(const ArgumentArray&) = delete;
    ~ArgumentArray() {
        if (arguments_ != nullptr) LocalFree(arguments_);
    }
    std::vector<std::u16string> texts() const {
        std::vector<std::u16string> texts;
        for (int i = 0; arguments_ != nullptr && i < count_; ++i) texts.push_back(veskcheck::fromWide(arguments_[i]));
        return texts;
    }

private:
    int count_ = 0;
    LPWSTR* arguments_;
};

std::optional<std::u16string> reportPathFromCommandLine() {
    const ArgumentArray arguments;
    return veskcheck::headlessReportPath(arguments.texts());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    if (const auto reportPath = reportPathFromCommandLine()) return veskcheck::runHeadless(*reportPath);
    return windowModeUnavailable;
}
