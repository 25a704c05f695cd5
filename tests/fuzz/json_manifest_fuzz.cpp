// Arbitrary bytes as a manifest body: the strict reader and the manifest rules must each either
// accept the bytes or refuse them with PatchError. A crash, a sanitizer report or any other
// exception is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "patch/json_reader.h"
#include "patch/manifest.h"
#include "patch/patch_error.h"

namespace {

template <typename Parse>
bool accepts(Parse&& parse) {
    try {
        parse();
        return true;
    } catch (const veskpatch::PatchError&) {
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const unsigned char> bytes(data, size);
    const bool isJson = accepts([&] { veskpatch::parseJson(bytes); });
    const bool isManifest = accepts([&] { veskpatch::parseManifest(bytes); });
    // Every manifest is strict JSON first: the rules may only narrow what the reader accepts.
    if (isManifest && !isJson) std::abort();
    return 0;
}
