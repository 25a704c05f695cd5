#pragma once

// Reading and driving another process's window from the outside, as a user (or an accessibility
// tool) could. Windows only.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace vesktest {

using std::chrono::milliseconds;

// Polls `condition` until it holds or `timeout` has passed; true when it held.
bool waitFor(const std::function<bool()>& condition, milliseconds timeout);

// A process the driver started, ended by its handle if a case leaves it running.
class Program {
public:
    explicit Program(std::u16string commandLine);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program();
    bool started() const { return info_.hProcess != nullptr; }
    DWORD id() const { return info_.dwProcessId; }
    HANDLE handle() const { return info_.hProcess; }
    // True when the process has ended within `timeout`.
    bool ended(milliseconds timeout) const;
    DWORD exitCode() const;

private:
    PROCESS_INFORMATION info_{};
};

// The top-level window of class `className` that belongs to `processId`; null if none.
HWND findTopLevel(DWORD processId, const std::u16string& className);
// The dialog (class "#32770") of `processId` owned by `owner`; null if none.
HWND findOwnedDialog(DWORD processId, HWND owner);
// Every top-level window of `processId`, shown or not.
std::vector<HWND> topLevelsOf(DWORD processId);
// The children of `parent`, their children and so on.
std::vector<HWND> descendantsOf(HWND parent);
// Child windows in Z order, which is the order of creation.
std::vector<HWND> childrenOf(HWND parent);

std::u16string textOf(HWND window);  // WM_GETTEXT, answered by the window's own thread
std::u16string classOf(HWND window);
RECT rectInClient(HWND control, HWND parent);
bool isShown(HWND window);  // its own WS_VISIBLE, whatever its parent's

// Clicks like a user: posted, so that a modal loop started by the click does not block the driver.
void click(HWND button);

struct ClipboardText {
    bool present = false;
    std::u16string text;  // up to the first zero
    SIZE_T bytes = 0;     // size of the memory block
};
ClipboardText readClipboard();
bool emptyClipboard();

// Writes what is on the screen inside `window`'s frame as a 24-bit BMP file; false on failure.
bool captureWindow(HWND window, const std::u16string& path);

}  // namespace vesktest
