#include "check/report_file.h"

#include <windows.h>

#include "common/win_text.h"

namespace veskcheck {
namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { close(); }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    void close() {
        if (valid()) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

bool writeAll(HANDLE file, const void* data, DWORD length) {
    DWORD written = 0;
    return WriteFile(file, data, length, &written, nullptr) && written == length;
}

}  // namespace

bool writeReportFile(const std::u16string& path, const std::u16string& text) {
    FileHandle file(CreateFileW(wideText(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    static constexpr unsigned char byteOrderMark[] = {0xFF, 0xFE};
    // UTF-16 units are little-endian in memory on every Windows target, so the text goes out as is.
    const bool complete =
        writeAll(file.get(), byteOrderMark, sizeof(byteOrderMark)) &&
        writeAll(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(char16_t)));
    file.close();
    if (!complete) DeleteFileW(wideText(path));
    return complete;
}

}  // namespace veskcheck
