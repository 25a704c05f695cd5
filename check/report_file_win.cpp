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

}  // namespace

// The new file is marked for deletion before its first byte, and the mark is taken back only once
// the whole report is flushed: every way out before that (a failed write or flush, the mark not
// taken back, the process ended) removes it when its handle closes. A file system that refuses the
// mark refuses any deletion, so the report is not written there and the file stays empty. Closing
// comes after the flush and cannot change the file's bytes, so its result does not count.
bool writeReportFile(const std::filesystem::path& path, const std::u16string& text) {
    // DELETE access lets the file be removed through this handle.
    const FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && setDeleteOnClose(file.get(), true) && writeReport(file.get(), text) &&
           setDeleteOnClose(file.get(), false);
}

}  // namespace veskcheck
