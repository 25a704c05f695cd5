// The window and its states: what it shows before, during and after a run, its layout and font,
// the keyboard, closing, and the resources of both programs.
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>
#include <span>

#include "common/owned.h"
#include "common/win_text.h"
#include "case_table.h"
#include "driver_case.h"
#include "expected_texts.h"
#include "fake_reports.h"
#include "window_checks.h"

namespace vesktest {
namespace {

using veskcheck::wideText;

// 0x and eight upper-case digits.
std::string hex(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", value);
    return text;
}

void inProgressThenFinished(Case& c) {
    Session s = c.startScripted("ok", 3000);
    if (!s.ready()) return;
    s.expectState(runningState(), "during the run", milliseconds(0));
    c.screenshot(s, "in-progress-" + std::to_string(c.dpi()));
    // Commands are ignored while a run is in progress, whatever sends them.
    for (const WPARAM id : {101, 102, 103, 104}) PostMessageW(s.main(), WM_COMMAND, id, 0);
    c.verdict.expect(s.waitForDialog(nothingHappens) == nullptr, "a command during the run opened a dialog");
    s.expectState(runningState(), "after commands during the run", milliseconds(0));
    s.expectState(finishedState(scriptedAdvice("ok"), withReport), "after the run", milliseconds(10000));
    c.screenshot(s, "finished-" + std::to_string(c.dpi()));
    s.expectClosed();
}

void windowAndControls(Case& c) {
    Session s = c.startScripted("ok", 0);
    if (!s.ready()) return;
    c.verdict.expectText(textOf(s.main()), expected::title, "title");
    const LONG style = GetWindowLongW(s.main(), GWL_STYLE);
    c.verdict.expect((style & WS_OVERLAPPEDWINDOW) == WS_OVERLAPPEDWINDOW, "the window is not WS_OVERLAPPEDWINDOW");
    c.verdict.expect((GetWindowLongW(s.main(), GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0,
                     "the window lacks WS_EX_CONTROLPARENT");
    c.verdict.expectNumber(static_cast<long long>(GetClassLongPtrW(s.main(), GCL_STYLE)), 0, "class style");
    const struct {
        const char16_t* className;  // as the system names the class
        int id;
        LONG style;  // besides WS_CHILD, WS_VISIBLE and WS_DISABLED
        const char16_t* text;
    } controls[controlCount] = {
        {u"Static", 0, 0, nullptr},
        {u"Edit", 0, ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_TABSTOP | WS_VSCROLL, nullptr},
        {u"Static", 0, 0, expected::note},
        {u"Button", 101, BS_PUSHBUTTON | WS_TABSTOP, expected::retryButton},
        {u"Button", 102, BS_PUSHBUTTON | WS_TABSTOP, expected::saveButton},
        {u"Button", 103, BS_PUSHBUTTON | WS_TABSTOP, expected::copyButton},
        {u"Button", 104, BS_PUSHBUTTON | WS_TABSTOP, expected::timeButton},
    };
    for (int slot = 0; slot < controlCount; ++slot) {
        const auto& want = controls[slot];
        const HWND control = s.control(slot);
        const std::string where = "control " + std::to_string(slot);
        c.verdict.expectText(classOf(control), want.className, where + " class");
        c.verdict.expectNumber(GetDlgCtrlID(control), want.id, where + " id");
        // Whether a control is shown or enabled is the run's business, not its creation's.
        const LONG seen = GetWindowLongW(control, GWL_STYLE) & ~(WS_VISIBLE | WS_DISABLED);
        c.verdict.expect(seen == (WS_CHILD | want.style),
                         where + " style " + hex(seen) + ", wanted " + hex(WS_CHILD | want.style));
        c.verdict.expectNumber(GetWindowLongW(control, GWL_EXSTYLE) & ~WS_EX_NOPARENTNOTIFY, 0,
                               where + " extended style");
        if (want.text != nullptr) c.verdict.expectText(textOf(control), want.text, where + " text");
    }
    // Wine answers class questions about another process's window for a few fields only.
    const Facts facts = s.facts();
    c.verdict.expect(facts.value("class-icon-107") == "yes", "class icon: " + facts.value("class-icon-107"));
    c.verdict.expect(facts.value("class-arrow-cursor") == "yes", "class cursor: " + facts.value("class-arrow-cursor"));
    c.verdict.expectNumber(facts.number("class-background", 0), COLOR_WINDOW + 1, "class background");
    DWORD_PTR limit = 0;
    SendMessageTimeoutW(s.advice(), EM_GETLIMITTEXT, 0, 0, SMTO_ABORTIFHUNG, 2000, &limit);
    c.verdict.expectNumber(static_cast<long long>(limit), 0xFFFF, "text limit of the text area");
    s.expectClosed();
}

void layoutAndFont(Case& c) {
    Session s = c.startScripted("clock", 0);
    if (!s.ready()) return;
    // The date and time button is shown, so every slot is seen.
    s.expectState(finishedState(scriptedAdvice("clock"), withReportAndClock), "after the run");
    if (c.dpi() == 96) expectLayoutFromOutside(c, s);
    const auto scaled = [&](int length) { return MulDiv(length, c.dpi(), 96); };
    const Facts facts = s.facts();
    if (!facts.present()) return;
    c.verdict.expectNumber(facts.number("dpi", 0), c.dpi(), "DPI the window reads");
    c.verdict.expectNumber(facts.number("window", 0), scaled(780), "window width");
    c.verdict.expectNumber(facts.number("window", 1), scaled(580), "window height");
    c.verdict.expectNumber(facts.number("min-track", 0), scaled(740), "minimum tracking width");
    c.verdict.expectNumber(facts.number("min-track", 1), scaled(520), "minimum tracking height");
    // Height, width, escapement, orientation, weight, italic, underline, strike-out, charset,
    // output precision, clip precision, quality, pitch and family, face.
    const std::string font = std::to_string(-scaled(17)) + " 0 0 0 400 0 0 0 1 0 0 5 0 Microsoft YaHei";
    c.verdict.expect(facts.value("font") == font, "font " + facts.value("font") + ", wanted " + font);
    expectLayoutFromFacts(c, facts, "as created");

    // Smaller than the minimum: the system keeps the minimum tracking size.
    const Facts shrunk = s.facts(factsAfterResize, MAKELPARAM(300, 200));
    c.verdict.expectNumber(shrunk.number("window", 0), scaled(740), "width after shrinking");
    c.verdict.expectNumber(shrunk.number("window", 1), scaled(520), "height after shrinking");
    expectLayoutFromFacts(c, shrunk, "at the minimum size");
    const Facts grown = s.facts(factsAfterResize, MAKELPARAM(scaled(800), scaled(600)));
    c.verdict.expectNumber(grown.number("window", 0), scaled(800), "width after growing");
    c.verdict.expectNumber(grown.number("window", 1), scaled(600), "height after growing");
    expectLayoutFromFacts(c, grown, "grown");
    s.expectClosed();
}

// The window's thread, whose focus Tab moves.
HWND focusOf(const Session& s) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(s.main(), nullptr), &info);
    return info.hwndFocus;
}

// Presses Tab (with Shift when `backwards`) in the window's thread, as the keyboard would: the
// threads share their input state until the focus has moved, so the window's IsDialogMessageW
// sees Shift however late it takes the key.
void pressTab(const Session& s, bool backwards) {
    const DWORD windowThread = GetWindowThreadProcessId(s.main(), nullptr);
    AttachThreadInput(GetCurrentThreadId(), windowThread, TRUE);
    BYTE keys[256]{};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = backwards ? 0x80 : 0;
    SetKeyboardState(keys);
    const HWND from = focusOf(s) != nullptr ? focusOf(s) : s.main();
    PostMessageW(from, WM_KEYDOWN, VK_TAB, 1);
    PostMessageW(from, WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC0000001));
    waitFor([&] { return focusOf(s) != from; }, stateSettles);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    AttachThreadInput(GetCurrentThreadId(), windowThread, FALSE);
}

void tabMovesAmongTabStops(Case& c) {
    Session s = c.startScripted("ok", 0);
    if (!s.ready()) return;
    s.expectState(finishedState(scriptedAdvice("ok"), withReport), "after the run");
    // The hidden date and time button is skipped, and Tab comes round again after the last button.
    // clang-format off
    const struct {
        bool backwards;
        HWND lands;
    } presses[] = {{false, s.advice()},     {false, s.button(101)}, {false, s.button(102)}, {false, s.button(103)},
                   {false, s.advice()},     {true, s.button(103)},  {true, s.button(102)},  {true, s.button(101)},
                   {true, s.advice()}};
    // clang-format on
    for (const auto& press : presses) {
        const int from = GetDlgCtrlID(focusOf(s));
        pressTab(s, press.backwards);
        c.verdict.expect(waitFor([&] { return focusOf(s) == press.lands; }, stateSettles),
                         std::string(press.backwards ? "Shift+Tab" : "Tab") + " from control " + std::to_string(from) +
                             " went to " + std::to_string(GetDlgCtrlID(focusOf(s))) + ", wanted " +
                             std::to_string(GetDlgCtrlID(press.lands)));
    }
    s.expectClosed();
}

void clockButtonComesAndGoes(Case& c) {
    Session s = c.startScripted("clock", 1500);
    if (!s.ready()) return;
    s.expectState(finishedState(scriptedAdvice("clock"), withReportAndClock), "after the first run");
    click(s.button(101));
    s.expectState(runningState(), "during the second run");
    s.expectState(finishedState(scriptedAdvice("clock"), withReportAndClock), "after the second run");
    s.expectClosed();
}

void runThatThrows(Case& c) {
    Session s = c.startScripted("throws", 300);
    if (!s.ready()) return;
    s.expectState(finishedState(expected::runFailedAdvice, retryOnly), "after the run");
    s.expectClosed();
}

void runWithoutReport(Case& c) {
    Session s = c.startScripted("no-report", 0);
    if (!s.ready()) return;
    s.expectState(finishedState(scriptedAdvice("no-report"), retryOnly), "after the run");
    // Another program's commands for the disabled save and copy buttons and the hidden date and
    // time button do nothing.
    for (const int id : {102, 103, 104}) PostMessageW(s.main(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    c.verdict.expect(s.waitForDialog(nothingHappens) == nullptr, "a command for an unusable button showed a dialog");
    s.expectState(finishedState(scriptedAdvice("no-report"), retryOnly), "after the posted commands");
    s.expectClosed();
}

// The run-finished message posted by another program during a run neither ends the run nor
// keeps the window from answering.
void strayRunFinishedMessage(Case& c) {
    Session s = c.startScripted("ok", 3000);
    if (!s.ready()) return;
    s.expectState(runningState(), "during the run", milliseconds(0));
    PostMessageW(s.main(), WM_APP + 1, 0, 0);
    DWORD_PTR ignored = 0;
    c.verdict.expect(SendMessageTimeoutW(s.main(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &ignored) != 0,
                     "the window stopped answering after the stray message");
    s.expectState(runningState(), "after the stray message", milliseconds(0));
    s.expectState(finishedState(scriptedAdvice("ok"), withReport), "after the run");
    s.expectClosed();
}

void closeDuringRun(Case& c) {
    constexpr milliseconds cancelLag{1500};
    Session s = c.startScripted("ok", 60000, static_cast<int>(cancelLag.count()));
    if (!s.ready()) return;
    s.expectState(runningState(), "during the run", milliseconds(0));
    const auto closedAt = std::chrono::steady_clock::now();
    s.close();
    const StateSeen closing{expected::closingStatus, expected::runningText, locked};
    s.expectState(closing, "after the close request");
    s.close();  // a second request changes nothing
    std::this_thread::sleep_for(milliseconds(300));
    s.expectState(closing, "after a second close request", milliseconds(0));
    c.verdict.expect(!s.program().ended(milliseconds(0)), "the window went before the run had ended");
    // The run notices the request at once and ends after its lag; the process must end within a
    // second of that.
    const bool ended = s.program().ended(cancelLag + milliseconds(1000));
    const auto took = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - closedAt);
    c.verdict.expect(ended, "the process did not end within a second of the run's end (" +
                                std::to_string(took.count()) + " ms after the close request)");
    if (ended) c.verdict.expectNumber(s.program().exitCode(), 0, "exit code");
}

// A close at any moment of a run begun with "重新检测": with the click, while the run goes on, as
// it ends and after it has ended. The window answers until it is gone, and the process ends
// within a second of the run's end.
void closeInEachPhaseOfARun(Case& c) {
    constexpr int runMs = 600;
    constexpr int cancelLagMs = 300;
    for (const int afterMs : {0, 100, 300, 550, 600, 650, 1000}) {
        Session s = c.startScripted("ok", runMs, cancelLagMs);
        if (!s.ready()) return;
        s.expectState(finishedState(scriptedAdvice("ok"), withReport), "after the first run");
        expectCloseDuringRetriedRun(c, s, milliseconds(afterMs), milliseconds(cancelLagMs + 1000));
    }
}

// While another thread holds the system's loader lock, which a thread needs to start and to end,
// a run ends and its result is shown: nothing on the window's thread waits for a thread.
void runEndsWhileTheLoaderIsBusy(Case& c) {
    constexpr int runMs = 300;
    const int loaderBusyMs = findFakeScenario("busy-loader")->loaderBusyMs;
    Session s = c.startScripted("busy-loader", runMs);
    if (!s.ready()) return;
    expectAnswering(c, s.control(0), milliseconds(runMs + loaderBusyMs + 500), "around the run's end");
    s.expectState(finishedState(scriptedAdvice("busy-loader"), withReport), "after the run", milliseconds(0));
    s.expectClosed();
}

void closeWhenIdle(Case& c) {
    Session s = c.startScripted("ok", 0);
    if (!s.ready()) return;
    s.expectState(finishedState(scriptedAdvice("ok"), withReport), "after the run");
    s.expectClosed(milliseconds(1000));
}

// A program file opened for its resources only.
class ResourceFile {
public:
    explicit ResourceFile(const std::u16string& path)
        : module_(LoadLibraryExW(wideText(path), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    bool has(LPCWSTR type, WORD id) const { return find(type, id) != nullptr; }
    std::string text(LPCWSTR type, WORD id) const {
        const HRSRC found = find(type, id);
        const HGLOBAL loaded = found != nullptr ? LoadResource(module_.get(), found) : nullptr;
        const auto* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
        return bytes != nullptr ? std::string(bytes, SizeofResource(module_.get(), found)) : std::string();
    }

private:
    HRSRC find(LPCWSTR type, WORD id) const {
        return module_.get() != nullptr ? FindResourceW(module_.get(), MAKEINTRESOURCEW(id), type) : nullptr;
    }

    veskcheck::Owned<HMODULE, FreeLibrary> module_;
};

// Both programs carry the manifest and the icon the window relies on. Wine changes the DPI of
// programs that are not DPI-aware too, so awareness is read from the manifest itself.
void programResources(Case& c) {
    const std::pair<const char*, std::u16string> programs[] = {{"vesk-check.exe", c.settings().realProgram},
                                                               {"test build", c.settings().fakeProgram}};
    for (const auto& [name, path] : programs) {
        const ResourceFile file(path);
        const std::string manifest = file.text(RT_MANIFEST, 1);
        const std::string where = std::string(name) + " manifest";
        for (const char* needed : {"level=\"asInvoker\"", "uiAccess=\"false\"", ">true</dpiAware>",
                                   "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
            c.verdict.expect(manifest.find(needed) != std::string::npos, where + " lacks " + needed);
        // The standard controls keep their classic look: no dependency on the version 6 ones.
        c.verdict.expect(manifest.find("Common-Controls") == std::string::npos, where + " names the common controls");
        c.verdict.expect(file.has(RT_GROUP_ICON, 107), std::string(name) + " has no icon 107");
    }
}

}  // namespace

std::span<const CaseEntry> windowStateCases() {
    static const CaseEntry cases[] = {
        {"in-progress-then-finished", inProgressThenFinished},
        {"window-and-controls", windowAndControls},
        {"layout-and-font", layoutAndFont},
        {"tab-moves-among-tab-stops", tabMovesAmongTabStops},
        {"clock-button-comes-and-goes", clockButtonComesAndGoes},
        {"run-that-throws", runThatThrows},
        {"run-without-report", runWithoutReport},
        {"stray-run-finished-message", strayRunFinishedMessage},
        {"close-during-run", closeDuringRun},
        {"close-in-each-phase-of-a-run", closeInEachPhaseOfARun},
        {"run-ends-while-the-loader-is-busy", runEndsWhileTheLoaderIsBusy},
        {"close-when-idle", closeWhenIdle},
        {"program-resources", programResources},
    };
    return cases;
}

}  // namespace vesktest
