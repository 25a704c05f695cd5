#pragma once

// Owners for the handles the window and its report actions hold. Windows only.
#include <windows.h>

namespace veskcheck {

// The one font of all controls, deleted after the window (and with it every control) is gone.
class FontOwner {
public:
    FontOwner() = default;
    FontOwner(const FontOwner&) = delete;
    FontOwner& operator=(const FontOwner&) = delete;
    ~FontOwner() {
        if (font_ != nullptr) DeleteObject(font_);
    }
    HFONT get() const { return font_; }
    void reset(HFONT font) {
        if (font_ != nullptr) DeleteObject(font_);
        font_ = font;
    }

private:
    HFONT font_ = nullptr;
};

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

// A movable memory block, freed unless it has been handed to the clipboard.
class GlobalBlock {
public:
    explicit GlobalBlock(HGLOBAL block) : block_(block) {}
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    ~GlobalBlock() {
        if (block_ != nullptr) GlobalFree(block_);
    }
    HGLOBAL get() const { return block_; }
    void handOver() { block_ = nullptr; }  // the clipboard owns it from now on

private:
    HGLOBAL block_;
};

// The clipboard, open for one copy and closed again on every way out.
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
