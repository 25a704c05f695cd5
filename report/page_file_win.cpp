#include "report/page_file.h"

#include <windows.h>

#include <limits>

#include "common/file_handle_win.h"

namespace veskreport {
namespace {

using veskcheck::FileHandle;
using veskcheck::setDeleteOnClose;

bool writeAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), std::numeric_limits<DWORD>::max()));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

// The new file is marked to go when our handle closes and kept only once it is whole and on the
// disk, so whatever fails (even the process) removes it through our own handle, never by name. A
// file system that cannot mark a file so leaves it empty: never part of a page.
bool writeNewPage(const std::filesystem::path& path, std::string_view page) {
    FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !setDeleteOnClose(file.get(), true)) return false;
    return writeAll(file.get(), page) && FlushFileBuffers(file.get()) && setDeleteOnClose(file.get(), false) &&
           CloseHandle(file.detach());
}

}  // namespace veskreport
