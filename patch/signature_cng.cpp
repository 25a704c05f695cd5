#include "patch/signature.h"

#include "patch/cng_handles.h"
#include "patch/digest.h"
#include "patch/manifest_key.h"

namespace veskpatch {
namespace {

CngKey importManifestKey(const CngAlgorithm& rsa) {
    CngKey key;
    if (cngFailed(BCryptImportKeyPair(rsa.get(), nullptr, BCRYPT_RSAPUBLIC_BLOB, key.put(),
                                      const_cast<PUCHAR>(manifestKeyBlob.data()),
                                      static_cast<ULONG>(manifestKeyBlob.size()), 0))) {
        key.detach();  // a failed import leaves no key to destroy
        throw PatchError("无法导入更新清单公钥。");
    }
    return key;
}

}  // namespace

bool verifyManifestSignature(std::span<const unsigned char> manifest, std::span<const unsigned char> signature) {
    if (signature.size() != manifestSignatureLength) return false;

    const CngAlgorithm rsa = openAlgorithm(BCRYPT_RSA_ALGORITHM);
    const CngKey key = importManifestKey(rsa);

    Sha256 digest = sha256Digest(manifest);
    BCRYPT_PKCS1_PADDING_INFO padding{BCRYPT_SHA256_ALGORITHM};
    const NTSTATUS status = BCryptVerifySignature(key.get(), &padding, digest.data(), static_cast<ULONG>(digest.size()),
                                                  const_cast<PUCHAR>(signature.data()),
                                                  static_cast<ULONG>(signature.size()), BCRYPT_PAD_PKCS1);
    // Any refusal, a wrong signature or otherwise, means the manifest is not accepted.
    return !cngFailed(status);
}

}  // namespace veskpatch
