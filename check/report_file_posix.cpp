#include "check/report_file.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "check/created_file_posix.h"
#include "check/file_identity_posix.h"
#include "common/owned.h"

namespace veskcheck {
namespace {

using FileDescriptor = Owned<int, ::close, -1>;

std::vector<unsigned char> reportBytes(const std::u16string& text) {
    std::vector<unsigned char> bytes{0xFF, 0xFE};
    bytes.reserve(2 + text.size() * 2);
    for (char16_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

// A write that comes back short (a full disk, a file size limit) counts as failed.
bool writeAndSync(int descriptor, const std::vector<unsigned char>& bytes) {
    return ::write(descriptor, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
           ::fsync(descriptor) == 0;
}

// The file system cannot hold an unnamed file (FUSE, vfat, exFAT, NFS, SMB, older overlayfs), or
// the kernel predates them and treats the request as opening the folder for writing.
bool refusesUnnamedFiles(int openError) { return openError == EOPNOTSUPP || openError == EISDIR; }

std::string procLink(int descriptor) { return "/proc/self/fd/" + std::to_string(descriptor); }

// An unnamed file gets its name through its link under /proc, which a container or a chroot may
// lack: such a file could never be named.
bool nameable(int descriptor) { return leadsTo(AT_FDCWD, procLink(descriptor).c_str(), descriptor, 0); }

// Gives the unnamed file its name; refused when the name exists, so nothing is overwritten.
bool publish(int descriptor, const std::filesystem::path& path) {
    return ::linkat(AT_FDCWD, procLink(descriptor).c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool writeInPlace(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    CreatedFile file(path);
    if (!file || !writeAndSync(file.descriptor(), bytes)) return false;
    file.keep();
    return true;
}

}  // namespace

// The report is written into an unnamed file of the target folder and named only once it is whole
// and on the disk: a failed write leaves nothing behind, and no name is ever deleted. Where the
// folder cannot hold an unnamed file, or the file could never be named, the report is written in
// place into a file made new, which a failure removes again while the name is still its own.
bool writeReportFile(const std::filesystem::path& path, const std::u16string& text) {
    const std::vector<unsigned char> bytes = reportBytes(text);
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    FileDescriptor unnamed(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644));
    const int openError = errno;
    if (unnamed && nameable(unnamed.get())) return writeAndSync(unnamed.get(), bytes) && publish(unnamed.get(), path);
    if (!unnamed && !refusesUnnamedFiles(openError)) return false;
    unnamed.reset();
    return writeInPlace(path, bytes);
}

}  // namespace veskcheck
