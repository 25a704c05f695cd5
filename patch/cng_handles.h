#pragma once

// Owners for the CNG handles of the digest and the signature check; each releases its handle on
// every way out, and objects built later are destroyed first.
#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "common/owned.h"
#include "patch/patch_error.h"

namespace veskpatch {

inline bool cngFailed(NTSTATUS status) { return status < 0; }

inline void closeAlgorithmProvider(BCRYPT_ALG_HANDLE handle) { BCryptCloseAlgorithmProvider(handle, 0); }

using CngAlgorithm = veskcheck::Owned<BCRYPT_ALG_HANDLE, closeAlgorithmProvider>;
using CngKey = veskcheck::Owned<BCRYPT_KEY_HANDLE, BCryptDestroyKey>;

inline CngAlgorithm openAlgorithm(const wchar_t* name) {
    CngAlgorithm algorithm;
    if (cngFailed(BCryptOpenAlgorithmProvider(algorithm.put(), name, nullptr, 0))) {
        algorithm.detach();  // a failed open leaves nothing to close
        throw PatchError("无法初始化 Windows 加密算法。");
    }
    return algorithm;
}

// A hash with the object buffer CNG works in. The buffer is declared first so that it outlives
// the handle.
class CngHashObject {
public:
    explicit CngHashObject(const CngAlgorithm& algorithm) {
        ULONG objectLength = 0;
        ULONG written = 0;
        if (cngFailed(BCryptGetProperty(algorithm.get(), BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                                        sizeof(objectLength), &written, 0)))
            throw PatchError("无法读取 SHA-256 工作区大小。");
        buffer_.assign(objectLength, 0);
        if (cngFailed(BCryptCreateHash(algorithm.get(), handle_.put(), buffer_.data(), objectLength, nullptr, 0, 0))) {
            handle_.detach();  // a failed creation leaves nothing to destroy
            throw PatchError("无法创建 SHA-256 上下文。");
        }
    }
    BCRYPT_HASH_HANDLE get() const { return handle_.get(); }

private:
    std::vector<UCHAR> buffer_;
    veskcheck::Owned<BCRYPT_HASH_HANDLE, BCryptDestroyHash> handle_;
};

}  // namespace veskpatch
