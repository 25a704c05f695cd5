// Arbitrary bytes as a manifest path, read as little-endian UTF-16 units (an odd last byte is
// dropped). A refused path must be refused with PatchError; an accepted one must be a safe target
// path, of the raw path's length, and normalising it again must change nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "patch/manifest_path.h"
#include "patch/patch_error.h"
#include "safe_target_path.h"

namespace {

std::u16string unitsOf(const std::uint8_t* data, std::size_t size) {
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return units;
}

void require(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string raw = unitsOf(data, size);
    std::u16string normalised;
    try {
        normalised = veskpatch::normalizeManifestPath(raw);
    } catch (const veskpatch::PatchError&) {
        return 0;
    }
    require(vesktest::isSafeTargetPath(normalised));
    require(normalised.size() == raw.size());
    require(veskpatch::normalizeManifestPath(normalised) == normalised);
    return 0;
}
