// Drives the window of vesk-check.exe and of its test build from another process, under Wine on
// a virtual display, and checks what a player sees and can do: texts, button states, layout, the
// report actions and closing during a run.
//
//   vesk-window-driver.exe --fake EXE --real EXE --work FOLDER --dpi N CASE...
//
// FOLDER is a fresh, empty folder for saved reports, facts and screenshots (NAME.bmp). `--dpi` is
// the screen DPI this Wine session was started with. Cases named real-* start vesk-check.exe and
// expect the lab scenario of their name around them; all others start the test build. Prints one
// line per case, "pass NAME (SECONDS s)" or "FAIL NAME (SECONDS s)" followed by indented lines
// that say what differed and, for a measuring case, what it measured; exits with 1 when a case
// failed.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "app/process_arguments.h"
#include "case_table.h"
#include "driver_settings.h"

namespace {

using namespace vesktest;

void printLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool runCase(const DriverSettings& settings, const std::string& name) {
    const CaseEntry* found = findCase(name);
    if (found == nullptr) {
        printLine("FAIL " + name + " (0.00 s)\n    no such case");
        return false;
    }
    Case c(settings, name);
    const auto started = std::chrono::steady_clock::now();
    found->run(c);
    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), " (%.2f s)",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    printLine((c.verdict.passed() ? "pass " : "FAIL ") + name + seconds);
    for (const std::string& failure : c.verdict.failures()) printLine("    " + failure);
    for (const std::string& figure : c.figures) printLine("    " + figure);
    return c.verdict.passed();
}

}  // namespace

int wmain() {
    const std::optional<DriverSettings> settings = parseSettings(veskcheck::processArguments());
    if (!settings) {
        printLine("usage: vesk-window-driver.exe --fake EXE --real EXE --work FOLDER --dpi N CASE...");
        return 2;
    }
    bool allPassed = true;
    for (const std::string& name : settings->cases) allPassed = runCase(*settings, name) && allPassed;
    return allPassed ? 0 : 1;
}
