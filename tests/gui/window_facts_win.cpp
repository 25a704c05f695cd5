#include "window_facts.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "app/window_owners.h"
#include "common/utf8_encode.h"
#include "common/win_text.h"
#include "remote_window.h"

namespace vesktest {
namespace {

// A hook procedure has no context of its own: what it needs is set once by the reporter.
UINT factsMessage = 0;
std::u16string factsFile;
unsigned answered = 0;

// Texts go on one line each: backslash, CR and LF are written as \\, \r and \n.
std::string escaped(const std::u16string& text) {
    std::string line;
    for (const char c : veskcheck::utf8FromUtf16(text)) {
        if (c == '\\') line += "\\\\";
        else if (c == '\r') line += "\\r";
        else if (c == '\n') line += "\\n";
        else line += c;
    }
    return line;
}

std::string number(long long value) { return std::to_string(value); }

std::string rectText(HWND control, HWND parent) {
    const RECT r = rectInClient(control, parent);
    return number(r.left) + " " + number(r.top) + " " + number(r.right - r.left) + " " + number(r.bottom - r.top);
}

std::string fontLine(HFONT font) {
    LOGFONTW f{};
    if (font == nullptr || GetObjectW(font, sizeof(f), &f) != sizeof(f)) return "font none\n";
    return "font " + number(f.lfHeight) + " " + number(f.lfWidth) + " " + number(f.lfEscapement) + " " +
           number(f.lfOrientation) + " " + number(f.lfWeight) + " " + number(f.lfItalic) + " " + number(f.lfUnderline) +
           " " + number(f.lfStrikeOut) + " " + number(f.lfCharSet) + " " + number(f.lfOutPrecision) + " " +
           number(f.lfClipPrecision) + " " + number(f.lfQuality) + " " + number(f.lfPitchAndFamily) + " " +
           escaped(veskcheck::fromWide(f.lfFaceName)) + "\n";
}

// The standard icons are shared within a process, so the message box's icon is one of these
// handles exactly.
std::string iconName(HWND box) {
    HWND iconControl = nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) iconControl = child;
    const auto icon = reinterpret_cast<HICON>(SendMessageW(iconControl, STM_GETICON, 0, 0));
    if (iconControl == nullptr || icon == nullptr || !IsWindowVisible(iconControl)) return "none";
    const std::pair<LPCWSTR, const char*> known[] = {
        {IDI_WARNING, "warning"}, {IDI_INFORMATION, "information"}, {IDI_ERROR, "error"}, {IDI_QUESTION, "question"}};
    for (const auto& [id, name] : known)
        if (LoadIconW(nullptr, id) == icon) return name;
    return "other";
}

struct BoxSearch {
    HWND main;
    std::string lines;
};

BOOL CALLBACK describeOwnedDialog(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<BoxSearch*>(parameter);
    if (GetWindow(window, GW_OWNER) != search.main || classOf(window) != u"#32770") return TRUE;
    search.lines += "dialog " + escaped(textOf(window)) + "\n";
    // A message box keeps its text in the static control 0xFFFF; other dialogs have none.
    if (const HWND body = GetDlgItem(window, 0xFFFF))
        search.lines += "box-text " + escaped(textOf(body)) + "\nbox-icon " + iconName(window) + "\n";
    return TRUE;
}

std::string messageBoxes(HWND main) {
    BoxSearch search{main, {}};
    EnumThreadWindows(GetCurrentThreadId(), describeOwnedDialog, reinterpret_cast<LPARAM>(&search));
    return search.lines;
}

// Whether the class took icon 107 of the program, the arrow cursor and the window colour; shared
// icons and cursors are one handle per process, so equal handles mean the same resource.
std::string classLine(HWND main) {
    const auto same = [](ULONG_PTR a, const void* b) { return a == reinterpret_cast<ULONG_PTR>(b) ? "yes" : "no"; };
    const HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(107));
    const char* iconTaken = icon != nullptr ? same(GetClassLongPtrW(main, GCLP_HICON), icon) : "missing";
    return std::string("class-icon-107 ") + iconTaken + "\nclass-arrow-cursor " +
           same(GetClassLongPtrW(main, GCLP_HCURSOR), LoadCursorW(nullptr, IDC_ARROW)) + "\nclass-background " +
           number(static_cast<long long>(GetClassLongPtrW(main, GCLP_HBRBACKGROUND))) + "\n";
}

std::string facts(HWND main) {
    const veskcheck::WindowDc dc(main);
    std::string text = "dpi " + number(GetDeviceCaps(dc.get(), LOGPIXELSY)) + "\n";
    RECT window{};
    GetWindowRect(main, &window);
    RECT client{};
    GetClientRect(main, &client);
    MINMAXINFO limits{};
    SendMessageW(main, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    text += "window " + number(window.right - window.left) + " " + number(window.bottom - window.top) + "\n";
    text += "client " + number(client.right) + " " + number(client.bottom) + "\n";
    text += "min-track " + number(limits.ptMinTrackSize.x) + " " + number(limits.ptMinTrackSize.y) + "\n";
    text += classLine(main);
    const auto fontOf = [](HWND control) { return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)); };
    const HFONT sharedFont = fontOf(GetWindow(main, GW_CHILD));
    text += fontLine(sharedFont);
    for (HWND child = GetWindow(main, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        text += "control " + escaped(classOf(child)) + " " + number(GetDlgCtrlID(child)) + " " + rectText(child, main) +
                " " + (fontOf(child) == sharedFont ? "shared-font" : "own-font") + "\n";
    }
    return text + messageBoxes(main);
}

void writeFacts(const std::u16string& answerFile, const std::string& text) {
    const std::u16string partial = answerFile + u".partial";
    std::ofstream file(std::filesystem::path(veskcheck::wideText(partial)), std::ios::binary);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    // The driver reads the answer as soon as it appears: it must appear complete.
    if (!file.fail()) MoveFileExW(veskcheck::wideText(partial), veskcheck::wideText(answerFile), 0);
}

LRESULT CALLBACK answer(int code, WPARAM removed, LPARAM parameter) {
    auto* message = reinterpret_cast<MSG*>(parameter);
    if (code == HC_ACTION && removed == PM_REMOVE && message->message == factsMessage) {
        if (message->wParam == factsAfterResize)
            SetWindowPos(message->hwnd, nullptr, 0, 0, LOWORD(message->lParam), HIWORD(message->lParam),
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        writeFacts(factsAnswerFile(factsFile, ++answered), facts(message->hwnd));
        message->message = WM_NULL;
    }
    return CallNextHookEx(nullptr, code, removed, parameter);
}

}  // namespace

WindowFactsReporter::WindowFactsReporter(std::u16string file) {
    factsFile = std::move(file);
    factsMessage = RegisterWindowMessageW(factsMessageName);
    hook_.reset(SetWindowsHookExW(WH_GETMESSAGE, answer, nullptr, GetCurrentThreadId()));
}

}  // namespace vesktest
