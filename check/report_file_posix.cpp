#include "check/report_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/owned.h"

namespace veskcheck {
namespace {

using FileDescriptor = Owned<int, ::close, -1>;

bool writeAll(int descriptor, const std::vector<unsigned char>& bytes) {
    if (bytes.empty()) return true;
    return ::write(descriptor, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

std::vector<unsigned char> littleEndianUnits(const std::u16string& text) {
    std::vector<unsigned char> bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

// Gives the unnamed file its name; refused when the name exists, so nothing is overwritten.
bool publish(int descriptor, const std::filesystem::path& path) {
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

}  // namespace

// The report is written into an unnamed file of the target folder and named only once it is whole
// and on the disk: a failed write leaves nothing behind, and no name is ever deleted.
bool writeReportFile(const std::filesystem::path& path, const std::u16string& text) {
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    const FileDescriptor file(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644));
    if (file.get() < 0) return false;
    return writeAll(file.get(), {0xFF, 0xFE}) && writeAll(file.get(), littleEndianUnits(text)) &&
           ::fsync(file.get()) == 0 && publish(file.get(), path);
}

}  // namespace veskcheck
