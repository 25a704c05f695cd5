#pragma once

#include <array>
#include <cstddef>

namespace veskpatch {

// The manifest-signing public key, as the RSAPUBLICBLOB that BCryptImportKeyPair takes: a
// BCRYPT_RSAKEY_BLOB header ("RSA1", 3072 bits, 3-byte exponent, 384-byte modulus), then the
// exponent and the modulus, big-endian. Generated at configure time from the build's PEM key.
inline constexpr std::size_t manifestKeyBlobSize = 411;
extern const std::array<unsigned char, manifestKeyBlobSize> manifestKeyBlob;

// An RSA-3072 signature is as long as the key's modulus.
inline constexpr std::size_t manifestSignatureLength = 384;

// A manifest names the key that signed it; only this key is built in.
inline constexpr char16_t manifestKeyId[] = u"vesk-integrity-r2";

}  // namespace veskpatch
