#pragma once

#include <cstddef>
#include <vector>

namespace veskbench {

// A valid manifest of exactly `bytes` bytes (at most veskpatch::maxManifestBytes, and room for
// one entry at least): as many realistic file entries as fit (replace and delete, Chinese folder
// names, characters beyond U+FFFF, JSON escapes), padded with whitespace to the size. The bytes
// are the same on every run and in every build, so one signature made outside the program serves
// them all.
std::vector<unsigned char> generateManifest(std::size_t bytes);

}  // namespace veskbench
