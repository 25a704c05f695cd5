#pragma once

// Owners for the handles the window and its report actions hold. Windows only.
#include <windows.h>

#include "common/owned.h"

namespace veskcheck {

// The one font of all controls, deleted after the window (and with it every control) is gone.
using FontOwner = Owned<HFONT, DeleteObject>;

// A device context taken with GetDC (of a window, or of the whole screen for none).
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A movable memory block, freed unless it has been handed to the clipboard (`detach`).
using GlobalBlock = Owned<HGLOBAL, GlobalFree>;

// The clipboard, open for one use and closed again on every way out.
class ClipboardSession {
public:
    explicit ClipboardSession(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ClipboardSession(const ClipboardSession&) = delete;
    ClipboardSession& operator=(const ClipboardSession&) = delete;
    ~ClipboardSession() {
        if (open_) CloseClipboard();
    }
    bool isOpen() const { return open_; }

private:
    bool open_;
};

}  // namespace veskcheck
