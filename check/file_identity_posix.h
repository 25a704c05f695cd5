#pragma once

#include <fcntl.h>
#include <sys/stat.h>

namespace veskcheck {

// Whether `name` (relative to the folder `folder`, or AT_FDCWD) leads to the very file open as
// `descriptor`: same device, same inode. `flags` as fstatat takes them, AT_SYMLINK_NOFOLLOW to
// judge a symbolic link at the name rather than what it points to.
inline bool leadsTo(int folder, const char* name, int descriptor, int flags) {
    struct stat open {};
    struct stat named {};
    return ::fstat(descriptor, &open) == 0 && ::fstatat(folder, name, &named, flags) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace veskcheck
