#include <string>
#include <vector>

#include "certpath/chain_cryptoapi.h"
#include "certpath/failure.h"
#include "certpath/probe_steps.h"
#include "certpath/probe_handshake.h"
#include "certpath/probe_socket.h"
#include "certpath/win_handles.h"
#include "common/win_text.h"

namespace veskcheck {
namespace {

// TLS 1.2 as a client and nothing else; the package neither judges the server certificate (the
// chain engine does that afterwards) nor ever offers a client certificate.
constexpr DWORD credentialFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
static_assert(credentialFlags == 0x18);
static_assert(codes::cancelled == ERROR_CANCELLED && codes::timedOut == WAIT_TIMEOUT &&
                  codes::bufferOverflow == ERROR_BUFFER_OVERFLOW && codes::serverClosed == ERROR_HANDLE_EOF,
              "the probe's codes are the system's own");
constexpr ULONG requestFlags =
    ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;
static_assert(requestFlags == 0x00088110);

std::uint32_t statusCode(SECURITY_STATUS status) { return static_cast<std::uint32_t>(status); }

Credentials acquireCredentials() {
    SCHANNEL_CRED record{};
    record.dwVersion = SCHANNEL_CRED_VERSION;
    record.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    record.dwFlags = credentialFlags;
    Credentials credentials;
    // Declared writable, but the package name is only read.
    const SECURITY_STATUS status =
        AcquireCredentialsHandleW(nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &record,
                                  nullptr, nullptr, credentials.put(), nullptr);
    if (status != SEC_E_OK) {
        credentials.detach();  // a failed call acquired nothing to free
        throw Failure{steps::initialiseTls, statusCode(status)};
    }
    return credentials;
}

// After a "continue", the package may have left the last bytes of the input unconsumed; those
// are the start of the server's next message, so they move to the front and the rest goes.
bool keepUnconsumedTail(std::vector<unsigned char>& input, const SecBuffer& extra) {
    if (extra.BufferType != SECBUFFER_EXTRA || extra.cbBuffer == 0 || extra.cbBuffer > input.size()) return false;
    input.erase(input.begin(), input.end() - extra.cbBuffer);
    return true;
}

void receiveMore(ProbeSocket& socket, std::vector<unsigned char>& input, std::vector<unsigned char>& chunk) {
    const std::size_t received = socket.receive(chunk);
    checkHandshakeInput(input.size(), received);
    input.insert(input.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(received));
}

// Runs the handshake until the package reports it complete. A final token the package produces
// then is not sent: the probe only needs the server's certificate.
SecurityContext runHandshake(ProbeSocket& socket, Credentials& credentials, const std::u16string& hostName,
                             const ProbeDeadline& deadline) {
    SecurityContext context;
    std::vector<unsigned char> input;
    std::vector<unsigned char> chunk(receiveChunkBytes);
    for (bool first = true;; first = false) {
        deadline.check();
        SecBuffer inputBuffers[2] = {{static_cast<unsigned long>(input.size()), SECBUFFER_TOKEN, input.data()},
                                     {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inputDescription{SECBUFFER_VERSION, 2, inputBuffers};
        SecBuffer outputBuffer{0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc outputDescription{SECBUFFER_VERSION, 1, &outputBuffer};
        ULONG attributes = 0;
        // The target name is declared writable, but the package only reads it.
        const SECURITY_STATUS status = InitializeSecurityContextW(
            credentials.addressOf(), first ? nullptr : context.addressOf(), const_cast<SEC_WCHAR*>(wideText(hostName)),
            requestFlags, 0, SECURITY_NATIVE_DREP, first ? nullptr : &inputDescription, 0, context.addressOf(),
            &outputDescription, &attributes, nullptr);
        const ContextBuffer token(outputBuffer.pvBuffer);
        if (status == SEC_E_OK) return context;
        if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_INCOMPLETE_MESSAGE) {
            if (first) context.detach();  // a failed first call created no context
            throw Failure{steps::readServerHandshake, statusCode(status)};
        }
        socket.sendAll({static_cast<const unsigned char*>(outputBuffer.pvBuffer), outputBuffer.cbBuffer});
        if (status == SEC_I_CONTINUE_NEEDED) {
            if (keepUnconsumedTail(input, inputBuffers[1])) continue;
            input.clear();
        }
        receiveMore(socket, input, chunk);
    }
}

CertContext readRemoteCertificate(SecurityContext& context) {
    CertContext certificate;
    const SECURITY_STATUS status =
        QueryContextAttributesW(context.addressOf(), SECPKG_ATTR_REMOTE_CERT_CONTEXT, certificate.put());
    if (status != SEC_E_OK) {
        certificate.detach();  // a failed call leaves no certificate to free
        throw Failure{steps::readPeerCertificate, statusCode(status)};
    }
    if (certificate.get() == nullptr) throw Failure{steps::readPeerCertificate, 0};
    return certificate;
}

}  // namespace

std::u16string handshakeAndDescribe(const std::u16string& peerIp, std::uint16_t port, const std::u16string& hostName,
                                    const ProbeDeadline& deadline) {
    ProbeSocket socket(peerIp, port, deadline);
    Credentials credentials = acquireCredentials();
    SecurityContext context = runHandshake(socket, credentials, hostName, deadline);
    const CertContext certificate = readRemoteCertificate(context);
    return describeCertificateChain(certificate.get(), hostName);
}

}  // namespace veskcheck
