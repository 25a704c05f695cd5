#pragma once

// What a window driver in another process cannot see under Wine (the font behind a control, the
// geometry the program itself sets at a DPI other than 96, the icon of a message box), reported
// from inside the window's test build.
//
// The driver posts the registered message `factsMessageName` to the main window; the test build
// answers the Nth request (from 1) with a file of its own, `factsAnswerFile(factsFile, N)`, and
// answers nothing else. wParam 0 asks for the facts as they are; wParam 1 first resizes the window
// to LOWORD(lParam) × HIWORD(lParam), as a user dragging its frame would. A file per answer, never
// replaced: a reader holding one answer open cannot keep the next from being written.
#include <windows.h>

#include <string>

#include "common/decimal_text.h"
#include "common/owned.h"

namespace vesktest {

inline constexpr wchar_t factsMessageName[] = L"VeskWindowTestFacts";
inline constexpr WPARAM factsAsTheyAre = 0;
inline constexpr WPARAM factsAfterResize = 1;

inline std::u16string factsAnswerFile(const std::u16string& factsFile, unsigned request) {
    return factsFile + u"." + veskcheck::decimalText(request);
}

// Installs the answering hook on the calling (GUI) thread for as long as it lives.
class WindowFactsReporter {
public:
    explicit WindowFactsReporter(std::u16string factsFile);

private:
    veskcheck::Owned<HHOOK, UnhookWindowsHookEx> hook_;
};

}  // namespace vesktest
