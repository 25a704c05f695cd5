// A test build of the window: the same window, run lifecycle and report actions as vesk-check.exe,
// with a scripted run in place of the check run, for the states the lab cannot produce.
//
//   vesk-check-fakerun.exe SCENARIO RUN_MS CANCEL_LAG_MS FACTS_FILE
//
// SCENARIO names a row of fake_reports.h. Each run takes RUN_MS milliseconds unless a cancel
// request arrives first; it then goes on for CANCEL_LAG_MS more, as a real run finishes the
// transfer or probe it is in. FACTS_FILE is where the window's facts go when the driver asks for
// them (window_facts.h).
#include <windows.h>

#include <charconv>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "app/process_arguments.h"
#include "common/utf8_encode.h"
#include "fake_reports.h"
#include "window_facts.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int badArguments = 64;

struct Script {
    const vesktest::FakeScenario* scenario = nullptr;
    milliseconds runTime{0};
    milliseconds cancelLag{0};
    std::u16string factsFile;
};

veskcheck::CheckReport scriptedRun(const Script& script, const veskcheck::CancelFlag& cancel) {
    const auto end = Clock::now() + script.runTime;
    while (Clock::now() < end) {
        if (cancel) {
            std::this_thread::sleep_for(script.cancelLag);
            break;
        }
        std::this_thread::sleep_for(milliseconds(5));
    }
    if (script.scenario->throws) throw std::runtime_error("scripted run failure");
    return vesktest::fakeReport(*script.scenario);
}

bool parseMilliseconds(const std::u16string& text, milliseconds& value) {
    const std::string digits = veskcheck::utf8FromUtf16(text);
    unsigned number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size()) return false;
    value = milliseconds(number);
    return true;
}

bool parseScript(const std::vector<std::u16string>& arguments, Script& script) {
    if (arguments.size() != 5) return false;
    script.scenario = vesktest::findFakeScenario(veskcheck::utf8FromUtf16(arguments[1]));
    script.factsFile = arguments[4];
    return script.scenario != nullptr && parseMilliseconds(arguments[2], script.runTime) &&
           parseMilliseconds(arguments[3], script.cancelLag);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    Script script;
    if (!parseScript(veskcheck::processArguments(), script)) return badArguments;
    const vesktest::WindowFactsReporter facts(script.factsFile);
    return veskcheck::runWindow(instance, showCommand,
                                [&script](const veskcheck::CancelFlag& cancel) { return scriptedRun(script, cancel); });
}
