#include "check/created_file_posix.h"

#include <fcntl.h>
#include <unistd.h>

#include "check/file_identity_posix.h"

namespace veskcheck {
namespace {

std::filesystem::path folderOf(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

}  // namespace

CreatedFile::CreatedFile(const std::filesystem::path& path)
    : folder_(::open(folderOf(path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)), name_(path.filename()) {
    // O_EXCL refuses every existing name, a symbolic link included, so nothing is ever opened
    // that was there before.
    if (folder_) file_.reset(::openat(folder_.get(), name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
}

CreatedFile::~CreatedFile() {
    if (file_ && !kept_ && leadsTo(folder_.get(), name_.c_str(), file_.get(), AT_SYMLINK_NOFOLLOW))
        ::unlinkat(folder_.get(), name_.c_str(), 0);
}

}  // namespace veskcheck
