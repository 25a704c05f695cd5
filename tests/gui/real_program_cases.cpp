// The real program in the lab: its run against the lab's servers, and closing during a run.
#include <windows.h>

#include <chrono>
#include <string>
#include <thread>
#include <span>
#include <vector>

#include "common/win_text.h"
#include "case_table.h"
#include "driver_case.h"
#include "expected_texts.h"
#include "report_file_bytes.h"
#include "save_dialog.h"
#include "temp_folder.h"
#include "window_checks.h"

namespace vesktest {
namespace {

using veskcheck::wideText;

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

// A close at moments spread over a run begun with "重新检测", which the first run's length places
// in each of its phases: name lookup, connection, handshake, transfer, certificate probe, its end
// and after it. The window answers until it is gone; a cancelled run ends within a few seconds.
void realCloseInEachPhaseOfARun(Case& c) {
    constexpr milliseconds cancelledRunEnds{5000};
    milliseconds runTime{0};
    for (const int eighths : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}) {
        Session s = c.startReal();
        if (!s.ready()) return;
        const auto started = std::chrono::steady_clock::now();
        c.verdict.expect(s.waitForStatus(expected::finishedStatus, realRunEnds), "the first run did not end");
        if (eighths == 0)
            runTime = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - started);
        expectCloseDuringRetriedRun(c, s, runTime * eighths / 8, cancelledRunEnds);
    }
}

void realOk(Case& c) { realRun(c, true); }
void realRefused(Case& c) { realRun(c, false); }

}  // namespace

std::span<const CaseEntry> realProgramCases() {
    static const CaseEntry cases[] = {
        {"real-ok", realOk},
        {"real-refused", realRefused},
        {"real-close-during-lookup", realCloseDuringLookup},
        {"real-close-in-each-phase-of-a-run", realCloseInEachPhaseOfARun},
    };
    return cases;
}

}  // namespace vesktest
