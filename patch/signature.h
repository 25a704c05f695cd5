#pragma once

#include <span>

namespace veskpatch {

// True when `signature` is a valid RSASSA-PKCS1-v1_5 / SHA-256 signature of the exact manifest
// bytes under the built-in key. A signature of the wrong length or one that does not verify is
// false; PatchError is thrown only when the platform cannot do the work.
bool verifyManifestSignature(std::span<const unsigned char> manifest, std::span<const unsigned char> signature);

}  // namespace veskpatch
