#include "remote_window.h"

#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>

#include "app/window_owners.h"
#include "common/win_text.h"

namespace vesktest {

using veskcheck::ClipboardSession;
using veskcheck::fromWide;
using veskcheck::wideBuffer;
using veskcheck::wideText;

bool waitFor(const std::function<bool()>& condition, milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(milliseconds(20));
    }
    return true;
}

Program::Program(std::u16string commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(nullptr, wideBuffer(commandLine), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info_))
        info_ = {};
}

Program::~Program() {
    if (!started()) return;
    if (!ended(milliseconds(0))) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

bool Program::ended(milliseconds timeout) const {
    return started() && WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

DWORD Program::exitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

namespace {

struct TopLevelSearch {
    DWORD processId;
    std::function<bool(HWND)> wanted;
    std::vector<HWND> found;
};

BOOL CALLBACK inspectTopLevel(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<TopLevelSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.processId && search.wanted(window)) search.found.push_back(window);
    return TRUE;
}

// In Z order, the topmost first.
std::vector<HWND> topLevelsWhere(DWORD processId, std::function<bool(HWND)> wanted) {
    TopLevelSearch search{processId, std::move(wanted), {}};
    EnumWindows(inspectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND firstOf(const std::vector<HWND>& windows) { return windows.empty() ? nullptr : windows.front(); }

}  // namespace

HWND findTopLevel(DWORD processId, const std::u16string& className) {
    return firstOf(topLevelsWhere(processId, [&](HWND window) { return classOf(window) == className; }));
}

HWND findOwnedDialog(DWORD processId, HWND owner) {
    return firstOf(topLevelsWhere(processId, [&](HWND window) {
        return classOf(window) == u"#32770" && GetWindow(window, GW_OWNER) == owner && IsWindowVisible(window);
    }));
}

std::vector<HWND> topLevelsOf(DWORD processId) {
    return topLevelsWhere(processId, [](HWND) { return true; });
}

namespace {

BOOL CALLBACK collectWindow(HWND window, LPARAM found) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> descendantsOf(HWND parent) {
    std::vector<HWND> found;
    EnumChildWindows(parent, collectWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::vector<HWND> childrenOf(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

std::u16string textOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return u"<no answer>";
    std::u16string text(length + 1, u'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(wideBuffer(text)), SMTO_ABORTIFHUNG,
                        2000, &copied);
    text.resize(copied);
    return text;
}

std::u16string classOf(HWND window) {
    std::u16string name(256, u'\0');
    name.resize(static_cast<std::size_t>(GetClassNameW(window, wideBuffer(name), 256)));
    return name;
}

RECT rectInClient(HWND control, HWND parent) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool isShown(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

void click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

ClipboardText readClipboard() {
    ClipboardText result;
    const ClipboardSession clipboard(nullptr);
    if (!clipboard.isOpen()) return result;
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (data == nullptr) return result;
    const auto* text = static_cast<const wchar_t*>(GlobalLock(data));
    if (text == nullptr) return result;
    result.present = true;
    result.bytes = GlobalSize(data);
    result.text = fromWide(text);
    GlobalUnlock(data);
    return result;
}

bool emptyClipboard() {
    const ClipboardSession clipboard(nullptr);
    return clipboard.isOpen() && EmptyClipboard();
}

namespace {

// Part of the screen copied into a memory bitmap. The members go in reverse order: the bitmap is
// taken out of the memory DC before either is deleted, and the screen's DC is released last.
class ScreenCopy {
public:
    ScreenCopy(int width, int height)
        : memory_(CreateCompatibleDC(screen_.get())), bitmap_(CreateCompatibleBitmap(screen_.get(), width, height)) {
        if (memory_.get() != nullptr && bitmap_.get() != nullptr)
            previous_ = SelectObject(memory_.get(), bitmap_.get());
    }
    ScreenCopy(const ScreenCopy&) = delete;
    ScreenCopy& operator=(const ScreenCopy&) = delete;
    ~ScreenCopy() {
        if (previous_ != nullptr) SelectObject(memory_.get(), previous_);
    }
    bool copy(const RECT& from) {
        return previous_ != nullptr && BitBlt(memory_.get(), 0, 0, from.right - from.left, from.bottom - from.top,
                                              screen_.get(), from.left, from.top, SRCCOPY);
    }
    std::vector<unsigned char> pixels(BITMAPINFOHEADER& header) const {
        std::vector<unsigned char> bits(static_cast<std::size_t>(((header.biWidth * 3 + 3) & ~3) * header.biHeight));
        if (!GetDIBits(memory_.get(), bitmap_.get(), 0, static_cast<UINT>(header.biHeight), bits.data(),
                       reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS))
            bits.clear();
        return bits;
    }

private:
    veskcheck::WindowDc screen_{nullptr};
    veskcheck::Owned<HDC, DeleteDC> memory_;
    veskcheck::Owned<HBITMAP, DeleteObject> bitmap_;
    HGDIOBJ previous_ = nullptr;
};

}  // namespace

bool captureWindow(HWND window, const std::u16string& path) {
    RECT frame{};
    if (!GetWindowRect(window, &frame)) return false;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    ScreenCopy screen(width, height);
    if (!screen.copy(frame)) return false;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const std::vector<unsigned char> bits = screen.pixels(header);
    if (bits.empty()) return false;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + bits.size());
    std::ofstream out(std::filesystem::path(wideText(path)), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(reinterpret_cast<const char*>(bits.data()), static_cast<std::streamsize>(bits.size()));
    out.close();
    return !out.fail();
}

}  // namespace vesktest
