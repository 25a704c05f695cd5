#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

#include "common/owned.h"

namespace veskcheck {

// A file made under a name that did not exist, for a folder that cannot hold an unnamed file and so
// has to be written in place. Unless kept, it is removed again when its owner goes, but only while
// its name still leads to the file made here: a file another program has since put under that name
// is never removed.
class CreatedFile {
public:
    explicit CreatedFile(const std::filesystem::path& path);
    CreatedFile(const CreatedFile&) = delete;
    CreatedFile& operator=(const CreatedFile&) = delete;
    ~CreatedFile();

    // False when the file could not be made: the name exists (a dangling link included) or the
    // folder refused it.
    explicit operator bool() const { return static_cast<bool>(file_); }
    int descriptor() const { return file_.get(); }
    void keep() { kept_ = true; }

private:
    using FileDescriptor = Owned<int, ::close, -1>;

    // The folder stays open so that the check and the removal both look at the folder the file was
    // made in, even if that folder has since been moved or replaced.
    FileDescriptor folder_;
    std::string name_;
    FileDescriptor file_;
    bool kept_ = false;
};

}  // namespace veskcheck
