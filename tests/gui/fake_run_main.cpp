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
#include <future>
#include <memory>
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

template <typename Function>
Function ntdllFunction(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// Takes the loader lock on a thread of its own and returns once it is held; the thread lets it go
// after `busy` and ends by itself.
void keepLoaderBusy(milliseconds busy) {
    const auto lock = ntdllFunction<LONG(NTAPI*)(ULONG flags, ULONG * state, ULONG_PTR * cookie)>("LdrLockLoaderLock");
    const auto unlock = ntdllFunction<LONG(NTAPI*)(ULONG flags, ULONG_PTR cookie)>("LdrUnlockLoaderLock");
    if (lock == nullptr || unlock == nullptr) throw std::runtime_error("no loader lock to hold");
    // Shared with the thread, which may still be leaving set_value when the run goes on.
    const auto held = std::make_shared<std::promise<void>>();
    std::thread([=] {
        ULONG_PTR cookie = 0;
        lock(0, nullptr, &cookie);
        held->set_value();
        std::this_thread::sleep_for(busy);
        unlock(0, cookie);
    }).detach();
    held->get_future().wait();
}

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
    if (script.scenario->loaderBusyMs > 0) keepLoaderBusy(milliseconds(script.scenario->loaderBusyMs));
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
