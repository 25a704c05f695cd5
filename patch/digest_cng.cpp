#include "patch/digest.h"

#include <limits>

#include "patch/cng_handles.h"

namespace veskpatch {

Sha256 sha256Digest(std::span<const unsigned char> bytes) {
    const CngAlgorithm algorithm = openAlgorithm(BCRYPT_SHA256_ALGORITHM);
    CngHashObject hash(algorithm);
    // The whole input goes in one call; an empty input makes none and yields the empty-message hash.
    if (!bytes.empty()) {
        if (bytes.size() > std::numeric_limits<ULONG>::max() ||
            cngFailed(
                BCryptHashData(hash.get(), const_cast<PUCHAR>(bytes.data()), static_cast<ULONG>(bytes.size()), 0)))
            throw PatchError("SHA-256 计算失败。");
    }
    Sha256 digest{};
    if (cngFailed(BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0)))
        throw PatchError("SHA-256 收尾失败。");
    return digest;
}

}  // namespace veskpatch
