#include "report/page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/owned.h"

namespace veskreport {
namespace {

using FileDescriptor = veskcheck::Owned<int, ::close, -1>;

bool writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Removes the name only while it still is the file we created: if it was since renamed or
// replaced, what stands there now belongs to someone else and stays.
void removeIfOurs(const std::filesystem::path& path, const struct stat& ours) {
    struct stat named {};
    if (::lstat(path.c_str(), &named) == 0 && sameFile(named, ours)) ::unlink(path.c_str());
}

}  // namespace

bool writeNewPage(const std::filesystem::path& path, std::string_view page) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (file.get() < 0) return false;
    struct stat ours {};
    if (::fstat(file.get(), &ours) != 0) return false;  // unreachable for a descriptor just opened
    // A full network disk may take the writes and refuse only the sync or the close.
    if (writeAll(file.get(), page) && ::fsync(file.get()) == 0 && ::close(file.detach()) == 0) return true;
    removeIfOurs(path, ours);
    return false;
}

}  // namespace veskreport
