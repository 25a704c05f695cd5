#include "check/report_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "common/owned.h"
#include "common/utf8_encode.h"

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

}  // namespace

bool writeReportFile(const std::u16string& path, const std::u16string& text) {
    const std::string name = utf8FromUtf16(path);
    bool complete = false;
    {
        const FileDescriptor file(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        if (file.get() < 0) return false;
        complete = writeAll(file.get(), {0xFF, 0xFE}) && writeAll(file.get(), littleEndianUnits(text));
    }
    // Closed before the half-written file is removed.
    if (!complete) ::unlink(name.c_str());
    return complete;
}

}  // namespace veskcheck
