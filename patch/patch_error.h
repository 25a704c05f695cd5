#pragma once

#include <stdexcept>

namespace veskpatch {

// The one exception of the manifest code. Its message is always a fixed UTF-8 literal that names
// the kind of fault and nothing else: no file name, key, position or status code.
class PatchError : public std::runtime_error {
public:
    explicit PatchError(const char* message) : std::runtime_error(message) {}
};

}  // namespace veskpatch
