// The Windows entry point: headless with exactly "--report FILE", otherwise the window.
#include <windows.h>

#include <filesystem>

#include "app/command_line.h"
#include "app/headless.h"
#include "app/main_window.h"
#include "app/process_arguments.h"
#include "common/win_text.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    if (const auto reportPath = veskcheck::headlessReportPath<std::u16string>(veskcheck::processArguments()))
        return veskcheck::runHeadless(std::filesystem::path(veskcheck::wideText(*reportPath)));
    return veskcheck::runWindow(instance, showCommand);
}
