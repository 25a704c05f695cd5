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

// Credentials and security contexts are pairs of words; both words all ones means none.
template <auto releaseFunction>
struct SspiHandleTraits {
    using Handle = SecHandle;
    static constexpr Handle none() { return {~ULONG_PTR{0}, ~ULONG_PTR{0}}; }
    static bool holds(const Handle& h) { return SecIsValidHandle(&h); }
    static void release(Handle& h) { releaseFunction(&h); }
};

using Credentials = Owner<SspiHandleTraits<FreeCredentialsHandle>>;
using SecurityContext = Owner<SspiHandleTraits<DeleteSecurityContext>>;

}  // namespace veskcheck
