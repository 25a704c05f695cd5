#include <openssl/err.h>
#include <openssl/ssl.h>

#include <new>
#include <string>
#include <vector>

#include "certpath/chain_openssl.h"
#include "certpath/failure.h"
#include "certpath/probe_steps.h"
#include "certpath/openssl_codes.h"
#include "certpath/probe_handshake.h"
#include "certpath/probe_socket.h"
#include "common/openssl_handles.h"
#include "common/utf8_encode.h"

namespace veskcheck {
namespace {

// Suspends the handshake when the server asks for a client certificate: none is ever offered,
// and the request ends the probe like any other answer the handshake cannot go on with.
int refuseClientCertificate(SSL*, X509**, EVP_PKEY**) { return -1; }

// TLS 1.2 as a client and nothing else. The server certificate is not judged during the
// handshake (the chain analysis does that afterwards), so no trust store is loaded here.
SslContext tls12ClientContext() {
    ERR_clear_error();
    SslContext context(SSL_CTX_new(TLS_client_method()));
    if (!context || SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) != 1 ||
        SSL_CTX_set_max_proto_version(context.get(), TLS1_2_VERSION) != 1)
        throw Failure{steps::initialiseTls, lastOpenSslError(0)};
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_client_cert_cb(context.get(), refuseClientCertificate);
    return context;
}

// A session that reads the server's bytes from, and writes its own into, memory: the probe
// moves them over the socket itself so that every wait is sliced and every failure has its step.
Ssl clientSession(SSL_CTX* context, const std::u16string& hostName) {
    const std::string serverName = utf8FromUtf16(hostName);
    Ssl session(SSL_new(context));
    Bio input(BIO_new(BIO_s_mem()));
    Bio output(BIO_new(BIO_s_mem()));
    if (!session || !input || !output || SSL_set_tlsext_host_name(session.get(), serverName.c_str()) != 1)
        throw Failure{steps::initialiseTls, lastOpenSslError(0)};
    SSL_set_bio(session.get(), input.detach(), output.detach());
    SSL_set_connect_state(session.get());
    return session;
}

void sendOutput(BIO* output, ProbeSocket& socket) {
    char* data = nullptr;
    const long length = BIO_get_mem_data(output, &data);
    if (length > 0) socket.sendAll({reinterpret_cast<const unsigned char*>(data), static_cast<std::size_t>(length)});
    (void)BIO_reset(output);
}

void receiveMore(BIO* input, ProbeSocket& socket, std::vector<unsigned char>& chunk) {
    const std::size_t received = socket.receive(chunk);
    checkHandshakeInput(BIO_ctrl_pending(input), received);
    if (BIO_write(input, chunk.data(), static_cast<int>(received)) != static_cast<int>(received))
        throw std::bad_alloc();
}

// Runs the handshake until OpenSSL reports it complete. Whatever it would send then is not
// sent: the probe only needs the server's certificate.
void runHandshake(SSL* session, ProbeSocket& socket, const ProbeDeadline& deadline) {
    BIO* const input = SSL_get_rbio(session);
    BIO* const output = SSL_get_wbio(session);
    std::vector<unsigned char> chunk(receiveChunkBytes);
    for (;;) {
        deadline.check();
        ERR_clear_error();
        const int result = SSL_do_handshake(session);
        if (result == 1) return;
        const int error = SSL_get_error(session, result);
        if (error != SSL_ERROR_WANT_READ)
            throw Failure{steps::readServerHandshake, lastOpenSslError(static_cast<std::uint32_t>(error))};
        sendOutput(output, socket);
        receiveMore(input, socket, chunk);
    }
}

}  // namespace

std::u16string handshakeAndDescribe(const std::u16string& peerIp, std::uint16_t port, const std::u16string& hostName,
                                    const ProbeDeadline& deadline) {
    ProbeSocket socket(peerIp, port, deadline);
    const SslContext credentials = tls12ClientContext();
    const Ssl session = clientSession(credentials.get(), hostName);
    runHandshake(session.get(), socket, deadline);
    const X509Certificate certificate(SSL_get1_peer_certificate(session.get()));
    if (!certificate) throw Failure{steps::readPeerCertificate, 0};
    return describeCertificateChain(certificate.get(), SSL_get_peer_cert_chain(session.get()), hostName);
}

}  // namespace veskcheck
