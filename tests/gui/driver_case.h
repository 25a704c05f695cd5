#pragma once

// What every case of the window driver works with: the verdict it builds, the window it starts
// and reads, and the facts the test build reports about itself. Windows only.
#include <windows.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "common/ascii_text.h"
#include "remote_window.h"
#include "window_facts.h"

namespace vesktest {

inline constexpr int controlCount = 7;
inline constexpr milliseconds stateSettles{5000};

struct DriverSettings {
    std::u16string fakeProgram;
    std::u16string realProgram;
    std::u16string workFolder;
    int dpi = 96;
    std::vector<std::string> cases;
};

std::string quoted(const std::u16string& text);  // UTF-8, with CR and LF written as \r and \n

// The differences one case found; the case passes when there are none.
class Verdict {
public:
    void expect(bool condition, const std::string& what);
    void expectText(const std::u16string& actual, const std::u16string& wanted, const std::string& what);
    void expectNumber(long long actual, long long wanted, const std::string& what);
    bool passed() const { return failures_.empty(); }
    const std::vector<std::string>& failures() const { return failures_; }

private:
    std::vector<std::string> failures_;
};

struct ButtonsSeen {
    bool retryEnabled;
    bool saveEnabled;
    bool copyEnabled;
    bool timeShown;
    bool operator==(const ButtonsSeen&) const = default;
};

struct StateSeen {
    std::u16string status;
    std::u16string advice;
    ButtonsSeen buttons;
    bool operator==(const StateSeen&) const = default;
};

// The facts file of the test build (window_facts.h): one "key value..." line per fact.
class Facts {
public:
    explicit Facts(std::vector<std::string> lines) : lines_(std::move(lines)) {}
    bool present() const { return !lines_.empty(); }
    // What follows "key " on the first line with that key; "<none>" without one.
    std::string value(std::string_view key) const;
    // Word `index` (from 0) of that value as a number; -1 when there is none.
    long long number(std::string_view key, std::size_t index) const;
    // The words after the key of every line with that key, in file order.
    std::vector<std::vector<std::string>> all(std::string_view key) const;

private:
    std::vector<std::string> lines_;
};

// One started program and the seven controls of its window, in creation order.
class Session {
public:
    Session(Verdict& verdict, std::u16string commandLine, std::u16string factsFile);

    bool ready() const { return controls_[controlCount - 1] != nullptr; }
    HWND main() const { return main_; }
    HWND control(int slot) const { return controls_[static_cast<std::size_t>(slot)]; }
    HWND advice() const { return control(1); }
    HWND button(int id) const { return control(3 + id - 101); }
    const Program& program() const { return program_; }

    StateSeen state() const;
    // Waits for the window to show `wanted`, and reports what differed if it never did.
    void expectState(const StateSeen& wanted, const std::string& when, milliseconds timeout = stateSettles);
    bool waitForStatus(const std::u16string& status, milliseconds timeout) const;
    // Asks the test build for its facts, after resizing the window to `size` if one is given.
    Facts facts(WPARAM request = factsAsTheyAre, LPARAM size = 0) const;
    // The dialog the window owns (a message box or the save dialog); null if none came.
    HWND waitForDialog(milliseconds timeout = stateSettles) const;
    void close() const { PostMessageW(main_, WM_CLOSE, 0, 0); }
    // Closes the window and expects the process to end with exit code 0 within `timeout`.
    void expectClosed(milliseconds timeout = milliseconds(3000));

private:
    Verdict& verdict_;
    Program program_;
    std::u16string factsFile_;
    mutable unsigned factsAsked_ = 0;
    HWND main_ = nullptr;
    std::array<HWND, controlCount> controls_{};
};

// What a message box said, read from outside; its icon comes from the test build's facts.
struct BoxSeen {
    bool present = false;
    std::u16string caption;
    std::u16string text;
    std::string icon = "<unknown>";
};

class Case {
public:
    Case(const DriverSettings& settings, std::string name) : settings_(settings), name_(std::move(name)) {}

    Verdict verdict;
    std::vector<std::string> figures;  // what a measuring case found, printed under its result

    const std::string& name() const { return name_; }
    const DriverSettings& settings() const { return settings_; }
    int dpi() const { return settings_.dpi; }
    std::u16string workFile(const std::u16string& name) const { return settings_.workFolder + u"\\" + name; }

    // The test build with a scripted run (fake_reports.h), or the real program.
    Session startScripted(std::string_view scenario, int runMs, int cancelLagMs = 0);
    Session startReal();
    void screenshot(const Session& session, const std::string& name);
    // Reads the message box the window shows, then answers it with its OK button.
    BoxSeen answerMessageBox(const Session& session, bool iconFromFacts);
    void expectBox(const BoxSeen& box, const std::u16string& text, const std::u16string& caption, const char* icon,
                   const std::string& what);

private:
    std::u16string factsFile() const { return workFile(u"facts-" + veskcheck::widenedAscii(name_) + u".txt"); }

    const DriverSettings& settings_;
    std::string name_;
};

}  // namespace vesktest
