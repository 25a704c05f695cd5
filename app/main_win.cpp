// The Windows entry point: headless with exactly "--report FILE", otherwise the window.
#include <windows.h>

#include "app/command_line.h"
#include "app/headless.h"
#include "app/main_window.h"
#include "app/process_arguments.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    if (const auto reportPath = veskcheck::headlessReportPath(veskcheck::processArguments()))
        return veskcheck::runHeadless(*reportPath);
    return veskcheck::runWindow(instance, showCommand);
}
