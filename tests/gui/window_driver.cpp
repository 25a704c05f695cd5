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
// that say what differed, and exits with 1 when a case failed.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/process_arguments.h"
#include "app/window_owners.h"
#include "common/owned.h"
#include "common/utf8_encode.h"
#include "common/win_text.h"
#include "driver_case.h"
#include "expected_texts.h"
#include "fake_reports.h"
#include "temp_folder.h"

namespace {

using namespace vesktest;
using veskcheck::utf8FromUtf16;
using veskcheck::wideText;

constexpr milliseconds realRunEnds{120000};
constexpr milliseconds nothingHappens{1000};

constexpr ButtonsSeen locked{false, false, false, false};
constexpr ButtonsSeen retryOnly{true, false, false, false};
constexpr ButtonsSeen withReport{true, true, true, false};
constexpr ButtonsSeen withReportAndClock{true, true, true, true};

StateSeen runningState() { return {expected::runningStatus, expected::runningText, locked}; }

StateSeen finishedState(const std::u16string& advice, ButtonsSeen buttons) {
    return {expected::finishedStatus, advice, buttons};
}

std::u16string scriptedAdvice(std::string_view scenario) { return std::u16string(findFakeScenario(scenario)->advice); }

std::string hex(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", value);
    return text;
}

std::string rectText(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top) + ")";
}

bool sameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Where each control must be for a client area of `client` at `dpi` by the layout table, scaled
// with the system's own MulDiv. A size below zero is placed as zero.
std::array<RECT, controlCount> layoutTable(SIZE client, int dpi) {
    const auto s = [dpi](int length) { return MulDiv(length, dpi, 96); };
    const auto rect = [](int x, int y, int width, int height) {
        return RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    };
    const int m = s(20);
    const int w = client.cx;
    const int h = client.cy;
    std::array<RECT, controlCount> rects{rect(m, m, w - 2 * m, s(36)), rect(m, s(62), w - 2 * m, h - s(170)),
                                         rect(m, h - s(98), w - 2 * m, s(36))};
    for (std::size_t i = 0; i < 4; ++i) rects[3 + i] = rect(m + static_cast<int>(i) * s(166), h - s(52), s(154), s(32));
    return rects;
}

void expectPlaced(Case& c, const std::array<RECT, controlCount>& seen, SIZE client, const std::string& when) {
    const auto wanted = layoutTable(client, c.dpi());
    for (std::size_t slot = 0; slot < seen.size(); ++slot)
        c.verdict.expect(sameRect(seen[slot], wanted[slot]), when + ", control " + std::to_string(slot) + " at " +
                                                                 rectText(seen[slot]) + ", wanted " +
                                                                 rectText(wanted[slot]));
}

// Read from outside, which Wine answers truly at 96 DPI only.
void expectLayoutFromOutside(Case& c, const Session& session) {
    RECT client{};
    GetClientRect(session.main(), &client);
    std::array<RECT, controlCount> seen{};
    for (int slot = 0; slot < controlCount; ++slot) seen[slot] = rectInClient(session.control(slot), session.main());
    expectPlaced(c, seen, {client.right, client.bottom}, "seen from outside");
}

// As the window itself sees it, at any DPI; every control must use the one font.
void expectLayoutFromFacts(Case& c, const Facts& facts, const std::string& when) {
    const auto controls = facts.all("control");  // class, id, x, y, width, height, font
    c.verdict.expectNumber(static_cast<long long>(controls.size()), controlCount, when + ", controls in the facts");
    if (controls.size() != controlCount) return;
    std::array<RECT, controlCount> seen{};
    for (std::size_t slot = 0; slot < seen.size(); ++slot) {
        const auto& words = controls[slot];
        const int x = std::stoi(words[2]);
        const int y = std::stoi(words[3]);
        seen[slot] = {x, y, x + std::stoi(words[4]), y + std::stoi(words[5])};
        c.verdict.expect(words[6] == "shared-font", when + ", control " + std::to_string(slot) + " has its own font");
    }
    expectPlaced(c, seen, {static_cast<LONG>(facts.number("client", 0)), static_cast<LONG>(facts.number("client", 1))},
                 when);
}

void printLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// ---- The window and its states --------------------------------------------------------------------

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
// threads share their input state for the moment, so the window's IsDialogMessageW sees Shift.
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
    waitFor([&] { return focusOf(s) != from; }, milliseconds(500));
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
        c.verdict.expect(waitFor([&] { return focusOf(s) == press.lands; }, milliseconds(1000)),
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

// ---- Report actions ---------------------------------------------------------------------------------

void copyReport(Case& c) {
    c.verdict.expect(emptyClipboard(), "the driver could not empty the clipboard");
    Session s = c.startScripted("ok", 0);
    if (!s.ready()) return;
    s.expectState(finishedState(scriptedAdvice("ok"), withReport), "after the run");
    click(s.button(103));
    c.expectBox(c.answerMessageBox(s, true), expected::copied, expected::copyCaption, "none", "copy");
    const ClipboardText clipboard = readClipboard();
    const std::u16string report = fakeReportText();
    c.verdict.expect(clipboard.present, "no Unicode text on the clipboard");
    c.verdict.expect(clipboard.text == report, "the clipboard text differs from the report");
    c.verdict.expectNumber(static_cast<long long>(clipboard.bytes), static_cast<long long>(2 * report.size() + 2),
                           "bytes on the clipboard");
    s.expectClosed();
}

void copyWhileClipboardBusy(Case& c) {
    Session s = c.startScripted("ok", 0);
    if (!s.ready()) return;
    s.expectState(finishedState(scriptedAdvice("ok"), withReport), "after the run");
    const veskcheck::ClipboardSession busy(nullptr);  // held by the driver, so the program cannot open it
    c.verdict.expect(busy.isOpen(), "the driver could not hold the clipboard");
    click(s.button(103));
    c.expectBox(c.answerMessageBox(s, true), expected::copyFailed, expected::copyCaption, "none", "copy while busy");
    s.expectClosed();
}

std::u16string desktopFolder() {
    std::u16string folder(MAX_PATH, u'\0');
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, veskcheck::wideBuffer(folder));
    return veskcheck::fromWide(wideText(folder));
}

HWND editWithin(HWND control) {
    if (control == nullptr || classOf(control) == u"Edit") return control;
    for (HWND child : childrenOf(control))
        if (const HWND edit = editWithin(child)) return edit;
    return nullptr;
}

// The file name box of the save dialog: the edit control 0x480, or the edit inside the combo box
// 0x47C that the explorer-style dialog uses.
HWND fileNameBox(HWND dialog) {
    for (const int id : {0x480, 0x47C})
        if (const HWND edit = editWithin(GetDlgItem(dialog, id))) return edit;
    return nullptr;
}

long long fileTimeTicks(const SYSTEMTIME& time) {
    FILETIME file{};
    SystemTimeToFileTime(&time, &file);
    return (static_cast<long long>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

// "Vesk连接检测-YYYYMMDD-hhmmss-mmm.txt" within two minutes of the local time `around`.
bool isDefaultName(const std::u16string& name, const SYSTEMTIME& around) {
    const std::u16string prefix = u"Vesk连接检测-";
    const std::u16string_view stamp = std::u16string_view(name).substr(std::min(prefix.size(), name.size()));
    const bool shaped = name.rfind(prefix, 0) == 0 && stamp.size() == 23 && stamp.substr(19) == u".txt" &&
                        std::ranges::all_of(std::array{std::size_t{8}, std::size_t{15}},
                                            [&](std::size_t at) { return stamp[at] == u'-'; });
    if (!shaped) return false;
    const auto digits = [&](std::size_t at, std::size_t count) {
        WORD value = 0;
        for (const char16_t d : stamp.substr(at, count)) {
            if (d < u'0' || d > u'9') return WORD{0xFFFF};
            value = static_cast<WORD>(value * 10 + (d - u'0'));
        }
        return value;
    };
    SYSTEMTIME named{};
    named.wYear = digits(0, 4);
    named.wMonth = digits(4, 2);
    named.wDay = digits(6, 2);
    named.wHour = digits(9, 2);
    named.wMinute = digits(11, 2);
    named.wSecond = digits(13, 2);
    named.wMilliseconds = digits(16, 3);
    constexpr long long twoMinutes = 120LL * 10000000LL;
    return named.wMilliseconds < 1000 && std::llabs(fileTimeTicks(named) - fileTimeTicks(around)) < twoMinutes;
}

std::vector<unsigned char> reportFileBytes(const std::u16string& text) {
    std::vector<unsigned char> bytes{0xFF, 0xFE};
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

// Clicks "保存检测报告" and checks the dialog that opens; null when none did.
HWND openSaveDialog(Case& c, const Session& s, std::u16string* defaultName = nullptr) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    click(s.button(102));
    const HWND dialog = s.waitForDialog();
    c.verdict.expect(dialog != nullptr, "no save dialog");
    if (dialog == nullptr) return nullptr;
    c.verdict.expectText(textOf(dialog), expected::saveDialogTitle, "save dialog title");
    const HWND nameBox = fileNameBox(dialog);
    c.verdict.expect(nameBox != nullptr, "no file name box in the save dialog");
    const std::u16string name = nameBox != nullptr ? textOf(nameBox) : u"";
    c.verdict.expect(isDefaultName(name, now), "default file name " + quoted(name));
    if (defaultName != nullptr) *defaultName = name;
    return dialog;
}

// Saves under `path`, or under the name offered when `path` is empty.
void saveAs(Case& c, HWND dialog, const std::u16string& path) {
    if (dialog == nullptr) return;
    if (!path.empty()) SendMessageW(fileNameBox(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wideText(path)));
    click(GetDlgItem(dialog, IDOK));
    c.verdict.expect(waitFor([&] { return !IsWindow(dialog); }, stateSettles), "the save dialog did not close");
}

void saveReport(Case& c) {
    Session s = c.startScripted("ok", 0);
    if (!s.ready()) return;
    s.expectState(finishedState(scriptedAdvice("ok"), withReport), "after the run");
    const std::vector<unsigned char> reportFile = reportFileBytes(fakeReportText());

    // The offered name, kept as it is, lands on the desktop.
    std::u16string defaultName;
    saveAs(c, openSaveDialog(c, s, &defaultName), u"");
    const std::u16string onDesktop = desktopFolder() + u"\\" + defaultName;
    c.expectBox(c.answerMessageBox(s, true), expected::savedPrefix + onDesktop, expected::savedCaption, "information",
                "save on the desktop");
    c.verdict.expect(fileBytes(onDesktop) == reportFile, "the desktop file is not FF FE and the report");
    DeleteFileW(wideText(onDesktop));

    // A chosen name elsewhere; then the same name again, which is refused and left as it was.
    const std::u16string chosen = c.workFile(u"保存的报告.txt");
    DeleteFileW(wideText(chosen));
    saveAs(c, openSaveDialog(c, s), chosen);
    c.expectBox(c.answerMessageBox(s, true), expected::savedPrefix + chosen, expected::savedCaption, "information",
                "save to a chosen file");
    c.verdict.expect(fileBytes(chosen) == reportFile, "the saved file is not FF FE and the report");
    saveAs(c, openSaveDialog(c, s), chosen);
    c.expectBox(c.answerMessageBox(s, true), expected::saveFailed, expected::saveFailedCaption, "warning",
                "save onto an existing file");
    c.verdict.expect(fileBytes(chosen) == reportFile, "the existing file was changed");
    s.expectClosed();
}

void saveCancelled(Case& c) {
    Session s = c.startScripted("ok", 0);
    if (!s.ready()) return;
    s.expectState(finishedState(scriptedAdvice("ok"), withReport), "after the run");
    const HWND dialog = openSaveDialog(c, s);
    if (dialog == nullptr) return;
    click(GetDlgItem(dialog, IDCANCEL));
    c.verdict.expect(waitFor([&] { return !IsWindow(dialog); }, stateSettles), "the save dialog did not close");
    c.verdict.expect(s.waitForDialog(nothingHappens) == nullptr, "cancelling the save dialog showed a dialog");
    s.expectState(finishedState(scriptedAdvice("ok"), withReport), "after cancelling");
    s.expectClosed();
}

void timeSettings(Case& c) {
    Session s = c.startScripted("clock", 0);
    if (!s.ready()) return;
    s.expectState(finishedState(scriptedAdvice("clock"), withReportAndClock), "after the run");
    click(s.button(104));
    // Wine has the control panel program, so it starts and the window tells nothing.
    const HWND box = s.waitForDialog(milliseconds(2000));
    c.verdict.expect(box == nullptr, "opening the date and time settings showed " + quoted(box ? textOf(box) : u""));
    s.expectState(finishedState(scriptedAdvice("clock"), withReportAndClock), "after opening the settings");
    s.expectClosed();
}

// The control panel program moved aside for one case, and put back on every way out.
class ControlPanelAside {
public:
    ControlPanelAside() {
        std::u16string folder(MAX_PATH, u'\0');
        folder.resize(GetSystemDirectoryW(veskcheck::wideBuffer(folder), MAX_PATH));
        program_ = folder + u"\\control.exe";
        aside_ = program_ + u".aside";
        moved_ = MoveFileW(wideText(program_), wideText(aside_)) != 0;
    }
    ControlPanelAside(const ControlPanelAside&) = delete;
    ControlPanelAside& operator=(const ControlPanelAside&) = delete;
    ~ControlPanelAside() {
        if (moved_) MoveFileW(wideText(aside_), wideText(program_));
    }
    bool moved() const { return moved_; }

private:
    std::u16string program_;
    std::u16string aside_;
    bool moved_ = false;
};

// Without the control panel program the window tells the player where the settings are.
void timeSettingsUnavailable(Case& c) {
    const ControlPanelAside aside;
    c.verdict.expect(aside.moved(), "the control panel program could not be moved aside");
    if (!aside.moved()) return;
    Session s = c.startScripted("clock", 0);
    if (!s.ready()) return;
    s.expectState(finishedState(scriptedAdvice("clock"), withReportAndClock), "after the run");
    click(s.button(104));
    c.expectBox(c.answerMessageBox(s, true), expected::timeSettingsManual, expected::timeSettingsCaption, "none",
                "time settings without the control panel");
    s.expectClosed();
}

// ---- The real program in the lab ----------------------------------------------------------------

// The advice the lab's own table gives for the case's scenario, which the suite writes into the
// work folder as UTF-16LE, so that the expectation is not the program's own.
std::u16string labAdvice(const Case& c) {
    const std::vector<unsigned char> bytes =
        fileBytes(c.workFile(u"advice-" + veskcheck::widenedAscii(c.name()) + u".txt"));
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return text;
}

// The window around a real run: its advice, its layout, and a report that is copied and saved
// alike, in the file format of the headless mode. A slow server lets the run be seen in progress.
void realRun(Case& c, bool slowServer) {
    Session s = c.startReal();
    if (!s.ready()) return;
    if (slowServer) {
        s.expectState(runningState(), "during the run", milliseconds(0));
        c.screenshot(s, c.name() + "-in-progress-" + std::to_string(c.dpi()));
    }
    s.waitForStatus(expected::finishedStatus, realRunEnds);
    s.expectState(finishedState(labAdvice(c), withReport), "after the run");
    if (c.dpi() == 96) expectLayoutFromOutside(c, s);
    c.screenshot(s, c.name() + "-finished-" + std::to_string(c.dpi()));

    emptyClipboard();
    click(s.button(103));
    c.expectBox(c.answerMessageBox(s, false), expected::copied, expected::copyCaption, nullptr, "copy");
    const ClipboardText clipboard = readClipboard();
    c.verdict.expect(clipboard.present && clipboard.text.rfind(u"Vesk", 0) == 0, "no report on the clipboard");
    c.verdict.expectNumber(static_cast<long long>(clipboard.bytes),
                           static_cast<long long>(2 * clipboard.text.size() + 2), "bytes on the clipboard");
    const std::u16string chosen = c.workFile(u"real-report.txt");
    DeleteFileW(wideText(chosen));
    saveAs(c, openSaveDialog(c, s), chosen);
    c.expectBox(c.answerMessageBox(s, false), expected::savedPrefix + chosen, expected::savedCaption, nullptr, "save");
    c.verdict.expect(fileBytes(chosen) == reportFileBytes(clipboard.text),
                     "the saved file is not FF FE and the report");
    s.expectClosed();
}

// Closing while the system's resolver holds the first lookup: the window and the process go
// within a second, without waiting for the lookup.
void realCloseDuringLookup(Case& c) {
    Session s = c.startReal();
    if (!s.ready()) return;
    std::this_thread::sleep_for(milliseconds(500));  // the lookup is under way
    s.expectState(runningState(), "during the lookup", milliseconds(0));
    const auto closedAt = std::chrono::steady_clock::now();
    s.close();
    const bool ended = s.program().ended(milliseconds(1000));
    const auto took = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - closedAt);
    c.verdict.expect(ended, "the process did not end within a second of the close request (" +
                                std::to_string(took.count()) + " ms)");
    if (ended) c.verdict.expectNumber(s.program().exitCode(), 0, "exit code");
}

void realOk(Case& c) { realRun(c, true); }
void realRefused(Case& c) { realRun(c, false); }

const std::pair<const char*, void (*)(Case&)> allCases[] = {
    {"in-progress-then-finished", inProgressThenFinished},
    {"window-and-controls", windowAndControls},
    {"layout-and-font", layoutAndFont},
    {"tab-moves-among-tab-stops", tabMovesAmongTabStops},
    {"clock-button-comes-and-goes", clockButtonComesAndGoes},
    {"run-that-throws", runThatThrows},
    {"run-without-report", runWithoutReport},
    {"stray-run-finished-message", strayRunFinishedMessage},
    {"close-during-run", closeDuringRun},
    {"close-when-idle", closeWhenIdle},
    {"program-resources", programResources},
    {"copy-report", copyReport},
    {"copy-while-clipboard-busy", copyWhileClipboardBusy},
    {"save-report", saveReport},
    {"save-cancelled", saveCancelled},
    {"time-settings", timeSettings},
    {"time-settings-unavailable", timeSettingsUnavailable},
    {"real-ok", realOk},
    {"real-refused", realRefused},
    {"real-close-during-lookup", realCloseDuringLookup},
};

std::optional<DriverSettings> parseSettings(const std::vector<std::u16string>& arguments) {
    DriverSettings settings;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::u16string& option = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (option == u"--fake" && hasValue) settings.fakeProgram = arguments[++i];
        else if (option == u"--real" && hasValue) settings.realProgram = arguments[++i];
        else if (option == u"--work" && hasValue) settings.workFolder = arguments[++i];
        else if (option == u"--dpi" && hasValue) settings.dpi = std::stoi(utf8FromUtf16(arguments[++i]));
        else settings.cases.push_back(utf8FromUtf16(option));
    }
    if (settings.workFolder.empty() || settings.cases.empty()) return std::nullopt;
    return settings;
}

bool runCase(const DriverSettings& settings, const std::string& name) {
    const auto found = std::ranges::find_if(allCases, [&](const auto& entry) { return name == entry.first; });
    if (found == std::end(allCases)) {
        printLine("FAIL " + name + " (0.00 s)\n    no such case");
        return false;
    }
    Case c(settings, name);
    const auto started = std::chrono::steady_clock::now();
    found->second(c);
    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), " (%.2f s)",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    printLine((c.verdict.passed() ? "pass " : "FAIL ") + name + seconds);
    for (const std::string& failure : c.verdict.failures()) printLine("    " + failure);
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
