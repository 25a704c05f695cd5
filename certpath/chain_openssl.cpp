#include "certpath/chain_openssl.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <new>
#include <span>
#include <utility>
#include <vector>

#include "certpath/chain_block.h"
#include "certpath/failure.h"
#include "certpath/openssl_codes.h"
#include "common/openssl_handles.h"
#include "common/utf8_encode.h"
#include "patch/utf8_decode.h"

namespace veskcheck {
namespace {

constexpr const char16_t* buildStep = u"Windows 构建证书路径";

// Every verify error with the depth of the certificate it concerns; verification goes on after
// each one so that every layer gets all its bits.
struct VerifyErrors {
    std::vector<std::pair<int, int>> byDepth;  // depth, error
    bool outOfMemory = false;
};

int collectVerifyError(int ok, X509_STORE_CTX* context) {
    if (ok) return 1;
    auto& errors = *static_cast<VerifyErrors*>(X509_STORE_CTX_get_app_data(context));
    // No exception may cross OpenSSL's frames: a failed allocation stops the verification and is
    // raised again once it has returned.
    try {
        errors.byDepth.emplace_back(X509_STORE_CTX_get_error_depth(context), X509_STORE_CTX_get_error(context));
        return 1;
    } catch (const std::bad_alloc&) {
        errors.outOfMemory = true;
        return 0;
    }
}

void freeOpenSslBuffer(unsigned char* buffer) { OPENSSL_free(buffer); }
using OpenSslBuffer = OpenSslOwned<unsigned char, freeOpenSslBuffer>;

void startVerification(X509_STORE_CTX* context, X509_STORE* store, X509* certificate, STACK_OF(X509) * sent,
                       const std::u16string& hostName, VerifyErrors& errors) {
    const std::string host = utf8FromUtf16(hostName);
    if (X509_STORE_set_default_paths(store) != 1 || X509_STORE_CTX_init(context, store, certificate, sent) != 1 ||
        X509_STORE_CTX_set_purpose(context, X509_PURPOSE_SSL_SERVER) != 1 ||
        X509_VERIFY_PARAM_set1_host(X509_STORE_CTX_get0_param(context), host.data(), host.size()) != 1 ||
        X509_STORE_CTX_set_app_data(context, &errors) != 1)
        throw Failure{buildStep, lastOpenSslError(0)};
    X509_STORE_CTX_set_verify_cb(context, collectVerifyError);
}

std::vector<unsigned char> encoded(X509* certificate) {
    const int length = i2d_X509(certificate, nullptr);
    if (length < 0) throw Failure{buildStep, lastOpenSslError(0)};
    std::vector<unsigned char> bytes(static_cast<std::size_t>(length));
    unsigned char* out = bytes.data();
    if (i2d_X509(certificate, &out) != length) throw Failure{buildStep, lastOpenSslError(0)};
    return bytes;
}

// OpenSSL builds one path; its layers carry the bits of the errors at their depth, and the path
// and the chain carry them all.
ChainDescription describe(STACK_OF(X509) * chain, const VerifyErrors& errors) {
    ChainPath path;
    std::vector<int> verdictErrors;
    for (const auto& [depth, error] : errors.byDepth) {
        path.status |= trustBitOf(error);
        verdictErrors.push_back(error);
    }
    for (int depth = 0; depth < sk_X509_num(chain); ++depth) {
        X509* certificate = sk_X509_value(chain, depth);
        ChainLayer layer{certCommonName(certificate, false), certCommonName(certificate, true), 0,
                         encoded(certificate)};
        for (const auto& [errorDepth, error] : errors.byDepth)
            if (errorDepth == depth) layer.status |= trustBitOf(error);
        path.layers.push_back(std::move(layer));
    }
    return {path.status, policyVerdictOf(verdictErrors), {std::move(path)}};
}

}  // namespace

std::u16string certCommonName(X509* certificate, bool issuer) {
    const X509_NAME* name = issuer ? X509_get_issuer_name(certificate) : X509_get_subject_name(certificate);
    const int index = X509_NAME_get_index_by_NID(name, NID_commonName, -1);
    if (index < 0) return cleanCommonName({});
    unsigned char* text = nullptr;
    const int length = ASN1_STRING_to_UTF8(&text, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
    const OpenSslBuffer owned(text);
    // A name that cannot be read is shown as no name, as the Windows name call does.
    if (length < 0) return cleanCommonName({});
    return cleanCommonName(veskpatch::decodeUtf8Strict({text, static_cast<std::size_t>(length)}));
}

std::u16string describeCertificateChain(X509* certificate, STACK_OF(X509) * sent, const std::u16string& hostName) {
    const X509Store store(X509_STORE_new());
    const X509StoreContext context(X509_STORE_CTX_new());
    if (!store || !context) throw Failure{buildStep, lastOpenSslError(0)};
    VerifyErrors errors;
    startVerification(context.get(), store.get(), certificate, sent, hostName, errors);
    ERR_clear_error();
    const int verified = X509_verify_cert(context.get());
    if (errors.outOfMemory) throw std::bad_alloc();
    if (verified < 0)
        throw Failure{buildStep, lastOpenSslError(static_cast<std::uint32_t>(X509_STORE_CTX_get_error(context.get())))};
    return writeChainBlock(describe(X509_STORE_CTX_get0_chain(context.get()), errors));
}

}  // namespace veskcheck
