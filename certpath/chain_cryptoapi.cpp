#include "certpath/chain_cryptoapi.h"

#include "certpath/chain_block.h"
#include "certpath/chain_codes.h"
#include "certpath/failure.h"
#include "certpath/probe_steps.h"
#include "common/win_text.h"

namespace veskcheck {
namespace {

// The structure sizes the chain engine is told are those of this build's own structures; on the
// 32-bit target they are the classic ones. A size that does not match the structure would make
// the engine ignore the fields after it (the server name among them).
constexpr bool target32 = sizeof(void*) == 4;
static_assert(!target32 || sizeof(CERT_CHAIN_PARA) == 16);
static_assert(!target32 || sizeof(CERT_CHAIN_POLICY_PARA) == 12);
static_assert(!target32 || sizeof(SSL_EXTRA_CERT_CHAIN_POLICY_PARA) == 16);
static_assert(!target32 || sizeof(CERT_CHAIN_POLICY_STATUS) == 20);

// The portable names of the chain's words are the system's own.
static_assert(trustBits::notTimeValid == CERT_TRUST_IS_NOT_TIME_VALID && trustBits::revoked == CERT_TRUST_IS_REVOKED &&
              trustBits::signatureNotValid == CERT_TRUST_IS_NOT_SIGNATURE_VALID &&
              trustBits::notValidForUsage == CERT_TRUST_IS_NOT_VALID_FOR_USAGE &&
              trustBits::untrustedRoot == CERT_TRUST_IS_UNTRUSTED_ROOT &&
              trustBits::invalidExtension == CERT_TRUST_INVALID_EXTENSION &&
              trustBits::invalidBasicConstraints == CERT_TRUST_INVALID_BASIC_CONSTRAINTS &&
              trustBits::partialChain == CERT_TRUST_IS_PARTIAL_CHAIN &&
              trustBits::explicitDistrust == CERT_TRUST_IS_EXPLICIT_DISTRUST &&
              trustBits::unsupportedCriticalExtension == CERT_TRUST_HAS_NOT_SUPPORTED_CRITICAL_EXT);
constexpr std::uint32_t systemCode(HRESULT code) { return static_cast<std::uint32_t>(code); }
static_assert(policyVerdicts::expired == systemCode(CERT_E_EXPIRED) &&
              policyVerdicts::role == systemCode(CERT_E_ROLE) &&
              policyVerdicts::critical == systemCode(CERT_E_CRITICAL) &&
              policyVerdicts::untrustedRoot == systemCode(CERT_E_UNTRUSTEDROOT) &&
              policyVerdicts::chaining == systemCode(CERT_E_CHAINING) &&
              policyVerdicts::failed == systemCode(TRUST_E_FAIL) &&
              policyVerdicts::revoked == systemCode(CERT_E_REVOKED) &&
              policyVerdicts::nameMismatch == systemCode(CERT_E_CN_NO_MATCH) &&
              policyVerdicts::wrongUsage == systemCode(CERT_E_WRONG_USAGE) &&
              policyVerdicts::badSignature == systemCode(TRUST_E_CERT_SIGNATURE));

constexpr std::size_t nameBufferUnits = 256;

// Only what is already on the machine: URLs in the certificates are served from the cache
// alone, and no updated roots are downloaded. No revocation flag, so revocation is not checked.
constexpr DWORD chainFlags = CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL | CERT_CHAIN_DISABLE_AUTH_ROOT_AUTO_UPDATE;
static_assert(chainFlags == 0x104);

std::uint32_t lastSystemError() { return static_cast<std::uint32_t>(GetLastError()); }

ChainContext buildChain(PCCERT_CONTEXT certificate) {
    char serverAuthentication[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuthentication};
    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof(parameters);
    parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    parameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    ChainContext chain;
    if (!CertGetCertificateChain(HCCE_CURRENT_USER, certificate, nullptr, certificate->hCertStore, &parameters,
                                 chainFlags, nullptr, chain.put())) {
        chain.detach();  // a failed call leaves no chain to free
        throw Failure{steps::buildChain, lastSystemError()};
    }
    return chain;
}

// The SSL server policy for the host name, nothing ignored; 0 when it holds.
std::uint32_t policyVerdict(PCCERT_CHAIN_CONTEXT chain, const std::u16string& hostName) {
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA server{};
    server.cbSize = sizeof(server);
    server.dwAuthType = AUTHTYPE_SERVER;
    server.fdwChecks = 0;
    // Declared writable, but the policy only reads the name.
    server.pwszServerName = const_cast<wchar_t*>(wideText(hostName));
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof(policy);
    policy.pvExtraPolicyPara = &server;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof(status);
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status))
        throw Failure{steps::chainPolicy, lastSystemError()};
    return status.dwError;
}

ChainLayer readLayer(const CERT_CHAIN_ELEMENT& element) {
    const PCCERT_CONTEXT certificate = element.pCertContext;
    return {certCommonName(certificate, false),
            certCommonName(certificate, true),
            element.TrustStatus.dwErrorStatus,
            {certificate->pbCertEncoded, certificate->pbCertEncoded + certificate->cbCertEncoded}};
}

ChainPath readPath(const CERT_SIMPLE_CHAIN& path) {
    ChainPath description{path.TrustStatus.dwErrorStatus, {}};
    for (DWORD i = 0; i < path.cElement; ++i) description.layers.push_back(readLayer(*path.rgpElement[i]));
    return description;
}

}  // namespace

std::u16string certCommonName(PCCERT_CONTEXT certificate, bool issuer) {
    std::u16string buffer(nameBufferUnits, u'\0');
    char commonName[] = szOID_COMMON_NAME;
    // A name that is missing or cannot be read leaves the buffer empty, which reads as no name.
    CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, issuer ? CERT_NAME_ISSUER_FLAG : 0, commonName,
                       wideBuffer(buffer), static_cast<DWORD>(buffer.size()));
    return cleanCommonName(buffer);
}

std::u16string describeCertificateChain(PCCERT_CONTEXT certificate, const std::u16string& hostName) {
    const ChainContext chain = buildChain(certificate);
    ChainDescription description{chain.get()->TrustStatus.dwErrorStatus, policyVerdict(chain.get(), hostName), {}};
    for (DWORD i = 0; i < chain.get()->cChain; ++i) description.paths.push_back(readPath(*chain.get()->rgpChain[i]));
    return writeChainBlock(description);
}

}  // namespace veskcheck
