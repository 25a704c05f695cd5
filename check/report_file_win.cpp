#include "check/report_file.h"

#include <windows.h>

#include "common/file_handle_win.h"

namespace veskcheck {
namespace {

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
    if (!file) return false;
    const bool complete = writeReport(file.get(), text);
    if (!complete) deleteOnClose(file.get());
    // Closing is the last step of writing, so its result counts.
    return CloseHandle(file.detach()) && complete;
}

}  // namespace veskcheck
