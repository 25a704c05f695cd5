#pragma once

#include <windows.h>

#include "common/owned.h"

namespace veskcheck {

// The owner of a file handle, whose "none" is INVALID_HANDLE_VALUE rather than null.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle none() { return INVALID_HANDLE_VALUE; }
    static bool holds(Handle h) { return h != INVALID_HANDLE_VALUE; }
    static void release(Handle h) { CloseHandle(h); }
};
using FileHandle = Owner<FileHandleTraits>;

// Whether the file goes when this handle closes, whatever has since been done with its name. The
// handle needs DELETE access; a file system that refuses the mark refuses any deletion.
inline bool setDeleteOnClose(HANDLE file, bool deleteIt) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleteIt ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition));
}

}  // namespace veskcheck
