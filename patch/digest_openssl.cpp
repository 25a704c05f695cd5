#include "patch/digest.h"

#include "common/openssl_handles.h"
#include "patch/patch_error.h"

namespace veskpatch {

// The same steps and messages as the CNG build: open the algorithm, create the context, hash the
// whole input in one call (none for an empty input), finish.
Sha256 sha256Digest(std::span<const unsigned char> bytes) {
    const veskcheck::EvpMd algorithm(EVP_MD_fetch(nullptr, "SHA256", nullptr));
    if (!algorithm) throw PatchError("无法初始化 Windows 加密算法。");
    const veskcheck::EvpMdContext context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex2(context.get(), algorithm.get(), nullptr) != 1)
        throw PatchError("无法创建 SHA-256 上下文。");
    if (!bytes.empty() && EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1)
        throw PatchError("SHA-256 计算失败。");
    Sha256 digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1 || length != digest.size())
        throw PatchError("SHA-256 收尾失败。");
    return digest;
}

}  // namespace veskpatch
