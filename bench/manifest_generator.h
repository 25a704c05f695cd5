#pragma once

#include <cstddef>
#include <vector>

namespace veskbench {

// The largest manifest the updater accepts, in bytes.
constexpr std::size_t manifestByteLimit = 16777216;

// A valid manifest of exactly manifestByteLimit bytes: as many realistic file entries as fit
// (replace and delete, Chinese folder names, characters beyond U+FFFF, JSON escapes), padded with
// whitespace to the limit. The bytes are the same on every run and in every build, so one
// signature made outside the program serves them all.
std::vector<unsigned char> generateLargestManifest();

}  // namespace veskbench
