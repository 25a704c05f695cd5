#pragma once

// Owners for the Windows handles the probe and the chain analysis hold.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>
#include <sspi.h>
#include <schannel.h>

#include "common/owned.h"

namespace veskcheck {

using AddressList = Owned<ADDRINFOW*, FreeAddrInfoW>;
using Socket = Owned<SOCKET, closesocket, INVALID_SOCKET>;
using CertContext = Owned<PCCERT_CONTEXT, CertFreeCertificateContext>;
using ChainContext = Owned<PCCERT_CHAIN_CONTEXT, CertFreeCertificateChain>;
using ContextBuffer = Owned<void*, FreeContextBuffer>;  // memory the security package allocated

// A credentials handle has no invalid value of its own, so it carries whether it was acquired.
class CredentialsHandle {
public:
    CredentialsHandle() = default;
    CredentialsHandle(const CredentialsHandle&) = delete;
    CredentialsHandle& operator=(const CredentialsHandle&) = delete;
    ~CredentialsHandle() {
        if (acquired_) FreeCredentialsHandle(&handle_);
    }
    CredHandle* get() { return &handle_; }
    void markAcquired() { acquired_ = true; }

private:
    CredHandle handle_{};
    bool acquired_ = false;
};

// A security context is created by the first handshake call; until then both halves are all ones.
class SecurityContextHandle {
public:
    SecurityContextHandle() = default;
    SecurityContextHandle(const SecurityContextHandle&) = delete;
    SecurityContextHandle& operator=(const SecurityContextHandle&) = delete;
    ~SecurityContextHandle() {
        if (handle_.dwLower != invalid && handle_.dwUpper != invalid) DeleteSecurityContext(&handle_);
    }
    CtxtHandle* get() { return &handle_; }

private:
    static constexpr ULONG_PTR invalid = ~ULONG_PTR{0};
    CtxtHandle handle_{invalid, invalid};
};

}  // namespace veskcheck
