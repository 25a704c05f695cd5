#include "driver_case.h"

#include <algorithm>
#include <charconv>
#include <thread>
#include <utility>

#include "common/ascii_text.h"
#include "common/decimal_text.h"
#include "common/utf8_encode.h"
#include "common/win_text.h"
#include "expected_texts.h"
#include "temp_folder.h"

namespace vesktest {

using veskcheck::decimalText;
using veskcheck::widenedAscii;
using veskcheck::wideText;

namespace {

constexpr milliseconds windowAppears{20000};

std::string buttonsText(const ButtonsSeen& b) {
    const auto flag = [](bool on, const char* name) { return std::string(on ? "" : "!") + name; };
    return flag(b.retryEnabled, "retry") + " " + flag(b.saveEnabled, "save") + " " + flag(b.copyEnabled, "copy") + " " +
           flag(b.timeShown, "time-shown");
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> words;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t space = std::min(text.find(' ', at), text.size());
        words.push_back(text.substr(at, space - at));
        at = space + 1;
    }
    return words;
}

// The lines of a facts file; a last line without its line end is not yet complete.
std::vector<std::string> factsLines(const std::vector<unsigned char>& bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (const unsigned char c : bytes) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        lines.push_back(std::move(line));
        line.clear();
    }
    return lines;
}

}  // namespace

std::string quoted(const std::u16string& text) {
    std::string line = "\"";
    for (const char c : veskcheck::utf8FromUtf16(text)) {
        if (c == '\r') line += "\\r";
        else if (c == '\n') line += "\\n";
        else line += c;
    }
    return line + "\"";
}

void Verdict::expect(bool condition, const std::string& what) {
    if (!condition) failures_.push_back(what);
}

void Verdict::expectText(const std::u16string& actual, const std::u16string& wanted, const std::string& what) {
    expect(actual == wanted, what + ": " + quoted(actual) + ", wanted " + quoted(wanted));
}

void Verdict::expectNumber(long long actual, long long wanted, const std::string& what) {
    expect(actual == wanted, what + ": " + std::to_string(actual) + ", wanted " + std::to_string(wanted));
}

std::string Facts::value(std::string_view key) const {
    const std::string start = std::string(key) + " ";
    for (const std::string& line : lines_)
        if (line.rfind(start, 0) == 0) return line.substr(start.size());
    return "<none>";
}

long long Facts::number(std::string_view key, std::size_t index) const {
    const std::vector<std::string> values = words(value(key));
    long long number = -1;  // stays so when the word is missing or is not a number
    if (index < values.size())
        std::from_chars(values[index].data(), values[index].data() + values[index].size(), number);
    return number;
}

std::vector<std::vector<std::string>> Facts::all(std::string_view key) const {
    const std::string start = std::string(key) + " ";
    std::vector<std::vector<std::string>> found;
    for (const std::string& line : lines_)
        if (line.rfind(start, 0) == 0) found.push_back(words(line.substr(start.size())));
    return found;
}

Session::Session(Verdict& verdict, std::u16string commandLine, std::u16string factsFile)
    : verdict_(verdict), program_(commandLine), factsFile_(std::move(factsFile)) {
    verdict.expect(program_.started(), "the program did not start: " + veskcheck::utf8FromUtf16(commandLine));
    if (!program_.started()) return;
    // The window exists from its creation on, but is shown only after its controls are made.
    waitFor(
        [&] {
            main_ = findTopLevel(program_.id(), expected::className);
            return main_ != nullptr && IsWindowVisible(main_);
        },
        windowAppears);
    verdict.expect(main_ != nullptr, "no window of class VeskNetworkCheckWindow appeared");
    if (main_ == nullptr) return;
    const std::vector<HWND> children = childrenOf(main_);
    verdict.expectNumber(static_cast<long long>(children.size()), controlCount, "number of controls");
    std::copy_n(children.begin(), std::min(children.size(), controls_.size()), controls_.begin());
}

StateSeen Session::state() const {
    return {textOf(control(0)),
            textOf(advice()),
            {IsWindowEnabled(button(101)) != FALSE, IsWindowEnabled(button(102)) != FALSE,
             IsWindowEnabled(button(103)) != FALSE, isShown(button(104))}};
}

void Session::expectState(const StateSeen& wanted, const std::string& when, milliseconds timeout) {
    StateSeen seen;
    if (waitFor([&] { return (seen = state()) == wanted; }, timeout)) return;
    verdict_.expectText(seen.status, wanted.status, when + ", status");
    verdict_.expectText(seen.advice, wanted.advice, when + ", text area");
    verdict_.expect(seen.buttons == wanted.buttons,
                    when + ", buttons: " + buttonsText(seen.buttons) + ", wanted " + buttonsText(wanted.buttons));
}

bool Session::waitForStatus(const std::u16string& status, milliseconds timeout) const {
    return waitFor([&] { return textOf(control(0)) == status; }, timeout);
}

Facts Session::facts(WPARAM request, LPARAM size) const {
    PostMessageW(main_, RegisterWindowMessageW(factsMessageName), request, size);
    const std::u16string answerFile = factsAnswerFile(factsFile_, ++factsAsked_);
    // Seeing the name is not enough: until the test build's rename has closed its handle (opened
    // for deletion), an open for reading that does not share deletion fails and reads nothing.
    std::vector<std::string> lines;
    const bool answered = waitFor(
        [&] {
            lines = factsLines(fileBytes(answerFile));
            return !lines.empty();
        },
        stateSettles);
    verdict_.expect(answered, "no facts from the test build in " + quoted(answerFile));
    return Facts(std::move(lines));
}

HWND Session::waitForDialog(milliseconds timeout) const {
    HWND dialog = nullptr;
    waitFor([&] { return (dialog = findOwnedDialog(program_.id(), main_)) != nullptr; }, timeout);
    return dialog;
}

void Session::expectClosed(milliseconds timeout) {
    close();
    verdict_.expect(program_.ended(timeout), "the process did not end after WM_CLOSE");
    if (program_.ended(milliseconds(0))) verdict_.expectNumber(program_.exitCode(), 0, "exit code");
}

Session Case::startScripted(std::string_view scenario, int runMs, int cancelLagMs) {
    const std::u16string line = u"\"" + settings_.fakeProgram + u"\" " + widenedAscii(scenario) + u" " +
                                decimalText(runMs) + u" " + decimalText(cancelLagMs) + u" \"" + factsFile() + u"\"";
    return Session(verdict, line, factsFile());
}

Session Case::startReal() { return Session(verdict, u"\"" + settings_.realProgram + u"\"", factsFile()); }

void Case::screenshot(const Session& session, const std::string& name) {
    // A text just set is painted when the window's thread gets to it.
    std::this_thread::sleep_for(milliseconds(500));
    verdict.expect(captureWindow(session.main(), workFile(widenedAscii(name) + u".bmp")),
                   "screenshot " + name + " not written");
}

BoxSeen Case::answerMessageBox(const Session& session, bool iconFromFacts) {
    BoxSeen box;
    const HWND dialog = session.waitForDialog();
    if (dialog == nullptr) return box;
    box.present = true;
    box.caption = textOf(dialog);
    box.text = textOf(GetDlgItem(dialog, 0xFFFF));  // a message box's text control
    if (iconFromFacts) box.icon = session.facts().value("box-icon");
    click(GetDlgItem(dialog, IDOK));
    verdict.expect(waitFor([&] { return !IsWindow(dialog); }, stateSettles), "the message box did not close");
    return box;
}

void Case::expectBox(const BoxSeen& box, const std::u16string& text, const std::u16string& caption, const char* icon,
                     const std::string& what) {
    verdict.expect(box.present, what + ": no message box");
    if (!box.present) return;
    verdict.expectText(box.text, text, what + ", message");
    verdict.expectText(box.caption, caption, what + ", caption");
    if (icon != nullptr) verdict.expect(box.icon == icon, what + ", icon: " + box.icon + ", wanted " + icon);
}

}  // namespace vesktest
