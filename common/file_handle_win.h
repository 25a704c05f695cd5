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

}  // namespace veskcheck
