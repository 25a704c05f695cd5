#pragma once

#include <filesystem>
#include <string>

namespace veskreport {

// A file's name as well-formed UTF-8 whatever the system's own spelling of names: what does not
// convert (a lone surrogate, which Windows allows in a name; bytes that are not UTF-8 elsewhere)
// becomes U+FFFD, so no name can end a run.
std::string fileName(const std::filesystem::path& file);

}  // namespace veskreport
