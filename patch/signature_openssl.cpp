#include "patch/signature.h"

#include <openssl/core_names.h>
#include <openssl/rsa.h>

#include "common/openssl_handles.h"
#include "patch/digest.h"
#include "patch/manifest_key.h"
#include "patch/patch_error.h"

namespace veskpatch {
namespace {

using namespace veskcheck;

// Layout of the RSAPUBLICBLOB: a 24-byte header, the 3-byte exponent, the 384-byte modulus.
constexpr std::size_t exponentOffset = 24;
constexpr std::size_t exponentLength = 3;
constexpr std::size_t modulusOffset = exponentOffset + exponentLength;
constexpr std::size_t modulusLength = manifestSignatureLength;
static_assert(modulusOffset + modulusLength == manifestKeyBlobSize);

BigNumber blobNumber(std::size_t offset, std::size_t length) {
    return BigNumber(BN_bin2bn(manifestKeyBlob.data() + offset, static_cast<int>(length), nullptr));
}

// The key comes from the same blob the CNG build imports, so both builds trust one key.
EvpPkey importManifestKey() {
    const EvpPkeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    if (!context) throw PatchError("无法初始化 Windows 加密算法。");
    const BigNumber modulus = blobNumber(modulusOffset, modulusLength);
    const BigNumber exponent = blobNumber(exponentOffset, exponentLength);
    const ParamBuilder builder(OSSL_PARAM_BLD_new());
    if (!modulus || !exponent || !builder ||
        OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_RSA_N, modulus.get()) != 1 ||
        OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_RSA_E, exponent.get()) != 1)
        throw PatchError("无法导入更新清单公钥。");
    const Params params(OSSL_PARAM_BLD_to_param(builder.get()));
    EVP_PKEY* key = nullptr;
    if (!params || EVP_PKEY_fromdata_init(context.get()) != 1 ||
        EVP_PKEY_fromdata(context.get(), &key, EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
        throw PatchError("无法导入更新清单公钥。");
    return EvpPkey(key);
}

bool verifyPkcs1Sha256(EVP_PKEY* key, const Sha256& digest, std::span<const unsigned char> signature) {
    const EvpPkeyContext context(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
    return context && EVP_PKEY_verify_init(context.get()) == 1 &&
           EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) == 1 &&
           EVP_PKEY_CTX_set_signature_md(context.get(), EVP_sha256()) == 1 &&
           EVP_PKEY_verify(context.get(), signature.data(), signature.size(), digest.data(), digest.size()) == 1;
}

}  // namespace

bool verifyManifestSignature(std::span<const unsigned char> manifest, std::span<const unsigned char> signature) {
    if (signature.size() != manifestSignatureLength) return false;
    const EvpPkey key = importManifestKey();
    return verifyPkcs1Sha256(key.get(), sha256Digest(manifest), signature);
}

}  // namespace veskpatch
