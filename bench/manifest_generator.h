#pragma once

#include <cstddef>
#include <vector>

namespace veskbench {

// A valid manifest of exactly veskpatch::maxManifestBytes bytes: as many realistic file entries as fit
// (replace and delete, Chinese folder names, characters beyond U+FFFF, JSON escapes), padded with
// whitespace to the limit. The bytes are the same on every run and in every build, so one
// signature made outside the program serves them all.
std::vector<unsigned char> generateLargestManifest();

}  // namespace veskbench
