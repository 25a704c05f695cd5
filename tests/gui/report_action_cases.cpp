// The report actions: copying, saving (with the system's dialog) and the date and time settings.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <span>
#include <vector>

#include "app/window_owners.h"
#include "common/win_text.h"
#include "case_table.h"
#include "driver_case.h"
#include "expected_texts.h"
#include "fake_reports.h"
#include "report_file_bytes.h"
#include "save_dialog.h"
#include "temp_folder.h"
#include "window_checks.h"

namespace vesktest {
namespace {

using veskcheck::wideText;

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

// While the save dialog or a message box waits for an answer, the window takes no command, from
// whatever program it comes: each would open another dialog over it, or start a run behind it.
void commandsWhileADialogIsOpen(Case& c) {
    const ControlPanelAside aside;  // so that the date and time command too would show a dialog
    c.verdict.expect(aside.moved(), "the control panel program could not be moved aside");
    Session s = c.startScripted("clock", 0);
    if (!s.ready()) return;
    const StateSeen finished = finishedState(scriptedAdvice("clock"), withReportAndClock);
    s.expectState(finished, "after the run");
    const auto expectNoCommandTaken = [&](const std::string& during) {
        // A new run ignores the commands after it, so it comes last.
        for (const int id : {102, 103, 104, 101}) {
            PostMessageW(s.main(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
            // Posted after the command, the request for facts is answered once the command has been handled.
            c.verdict.expectNumber(static_cast<long long>(s.facts().all("dialog").size()), 1,
                                   "dialogs after command " + std::to_string(id) + " during " + during);
        }
        s.expectState(finished, "after the commands during " + during, milliseconds(0));
    };

    const HWND saveDialog = openSaveDialog(c, s);
    if (saveDialog == nullptr) return;
    expectNoCommandTaken("the save dialog");
    click(GetDlgItem(saveDialog, IDCANCEL));
    c.verdict.expect(waitFor([&] { return !IsWindow(saveDialog); }, stateSettles), "the save dialog did not close");

    click(s.button(103));
    c.verdict.expect(s.waitForDialog() != nullptr, "copying showed no message box");
    expectNoCommandTaken("the message box");
    c.expectBox(c.answerMessageBox(s, false), expected::copied, expected::copyCaption, nullptr, "copy");
    c.verdict.expect(s.waitForDialog(nothingHappens) == nullptr, "a dialog came after the message box");
    s.expectClosed();
}

}  // namespace

std::span<const CaseEntry> reportActionCases() {
    static const CaseEntry cases[] = {
        {"copy-report", copyReport},
        {"copy-while-clipboard-busy", copyWhileClipboardBusy},
        {"save-report", saveReport},
        {"save-cancelled", saveCancelled},
        {"time-settings", timeSettings},
        {"time-settings-unavailable", timeSettingsUnavailable},
        {"commands-while-a-dialog-is-open", commandsWhileADialogIsOpen},
    };
    return cases;
}

}  // namespace vesktest
