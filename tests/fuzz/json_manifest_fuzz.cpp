// Arbitrary bytes as a manifest body: the manifest rules must either accept the bytes or refuse
// them with PatchError; a crash, a sanitizer report or any other exception is a fault. What an
// accepted manifest promises the updater is checked on its own terms: every target path is safe,
// the game starts from Vesk.exe at the top of its folder, and no two files name the same target
// in any ASCII letter case.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <span>
#include <string>

#include "patch/manifest.h"
#include "patch/patch_error.h"
#include "safe_target_path.h"

namespace {

void require(bool holds) {
    if (!holds) std::abort();
}

std::u16string targetKey(const std::u16string& path) {
    std::u16string key = path;
    for (char16_t& unit : key) unit = vesktest::asciiUpper(unit);
    return key;
}

void requireSafe(const veskpatch::Manifest& manifest) {
    require(vesktest::isSafeTargetPath(manifest.launchExecutable));
    require(targetKey(manifest.launchExecutable) == u"VESK.EXE");
    std::set<std::u16string> targets;
    for (const veskpatch::ManifestFile& file : manifest.files) {
        require(vesktest::isSafeTargetPath(file.path));
        require(targets.insert(targetKey(file.path)).second);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        requireSafe(veskpatch::parseManifest(std::span<const unsigned char>(data, size)));
    } catch (const veskpatch::PatchError&) {}
    return 0;
}
