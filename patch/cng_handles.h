#pragma once

// Owners for the CNG handles of the digest and the signature check; each releases its handle on
// every way out, and objects built later are destroyed first.
#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "patch/patch_error.h"

namespace veskpatch {

inline bool cngFailed(NTSTATUS status) { return status < 0; }

class CngAlgorithmHandle {
public:
    explicit CngAlgorithmHandle(const wchar_t* algorithm) {
        if (cngFailed(BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, 0))) {
            handle_ = nullptr;
            throw PatchError("无法初始化 Windows 加密算法。");
        }
    }
    CngAlgorithmHandle(const CngAlgorithmHandle&) = delete;
    CngAlgorithmHandle& operator=(const CngAlgorithmHandle&) = delete;
    ~CngAlgorithmHandle() {
        if (handle_ != nullptr) BCryptCloseAlgorithmProvider(handle_, 0);
    }
    BCRYPT_ALG_HANDLE get() const { return handle_; }

private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

// A hash with the object buffer CNG works in; the buffer must outlive the handle.
class CngHashObject {
public:
    explicit CngHashObject(const CngAlgorithmHandle& algorithm) {
        ULONG written = 0;
        if (cngFailed(BCryptGetProperty(algorithm.get(), BCRYPT_OBJECT_LENGTH,
                                        reinterpret_cast<PUCHAR>(&objectLength_), sizeof(objectLength_),
                                        &written, 0)))
            throw PatchError("无法读取 SHA-256 工作区大小。");
        buffer_.assign(objectLength_, 0);
        if (cngFailed(BCryptCreateHash(algorithm.get(), &handle_, buffer_.data(), objectLength_, nullptr, 0, 0))) {
            handle_ = nullptr;
            throw PatchError("无法创建 SHA-256 上下文。");
        }
    }
    CngHashObject(const CngHashObject&) = delete;
    CngHashObject& operator=(const CngHashObject&) = delete;
    ~CngHashObject() {
        if (handle_ != nullptr) BCryptDestroyHash(handle_);
    }
    BCRYPT_HASH_HANDLE get() const { return handle_; }

private:
    BCRYPT_HASH_HANDLE handle_ = nullptr;
    ULONG objectLength_ = 0;
    std::vector<UCHAR> buffer_;
};

class CngKeyHandle {
public:
    CngKeyHandle() = default;
    CngKeyHandle(const CngKeyHandle&) = delete;
    CngKeyHandle& operator=(const CngKeyHandle&) = delete;
    ~CngKeyHandle() {
        if (handle_ != nullptr) BCryptDestroyKey(handle_);
    }
    BCRYPT_KEY_HANDLE get() const { return handle_; }
    BCRYPT_KEY_HANDLE* out() { return &handle_; }

private:
    BCRYPT_KEY_HANDLE handle_ = nullptr;
};

}  // namespace veskpatch
