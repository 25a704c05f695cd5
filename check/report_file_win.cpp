#include "check/report_file.h"

#include <windows.h>

#include <utility>

namespace veskcheck {
namespace {

// Owner of the report file's handle. Closing is the last step of writing, so its result counts.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { close(); }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    // False when the system reported an error closing the file.
    bool close() {
        const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
        return handle == INVALID_HANDLE_VALUE || CloseHandle(handle);
    }

private:
    HANDLE handle_;
};

bool writeAll(HANDLE file, const void* data, DWORD length) {
    DWORD written = 0;
    return WriteFile(file, data, length, &written, nullptr) && written == length;
}

bool writeReport(HANDLE file, const std::u16string& text) {
    static constexpr unsigned char byteOrderMark[] = {0xFF, 0xFE};
    // UTF-16 units are little-endian in memory on every Windows target, so the text goes out as is.
    // A full network share may accept the writes and refuse only the flush.
    return writeAll(file, byteOrderMark, sizeof(byteOrderMark)) &&
           writeAll(file, text.data(), static_cast<DWORD>(text.size() * sizeof(char16_t))) && FlushFileBuffers(file);
}

// The file goes when our handle closes, whatever has since been done with its name.
void deleteOnClose(HANDLE file) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition));
}

}  // namespace

bool writeReportFile(const std::filesystem::path& path, const std::u16string& text) {
    // DELETE access lets a half-written file be removed through this handle.
    FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    const bool complete = writeReport(file.get(), text);
    if (!complete) deleteOnClose(file.get());
    return file.close() && complete;
}

}  // namespace veskcheck
