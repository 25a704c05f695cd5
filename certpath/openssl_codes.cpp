#include "certpath/openssl_codes.h"

#include <openssl/err.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <cstddef>

#include "certpath/chain_codes.h"

namespace veskcheck {
namespace {

struct Verdict {
    std::uint32_t trustBit;
    std::uint32_t policyVerdict;
};

// In the order the policy verdict is chosen; the last row takes every error not named.
constexpr Verdict verdicts[] = {
    {trustBits::notTimeValid, policyVerdicts::expired},
    {trustBits::untrustedRoot, policyVerdicts::untrustedRoot},
    {trustBits::partialChain, policyVerdicts::chaining},
    {trustBits::signatureNotValid, policyVerdicts::badSignature},
    {trustBits::notValidForUsage, policyVerdicts::wrongUsage},
    {trustBits::revoked, policyVerdicts::revoked},
    {trustBits::invalidBasicConstraints, policyVerdicts::role},
    {trustBits::unsupportedCriticalExtension, policyVerdicts::critical},
    {0, policyVerdicts::nameMismatch},  // the host name: no trust bit
    {trustBits::invalidExtension, policyVerdicts::failed},
};

std::size_t verdictRow(int verifyError) {
    switch (verifyError) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID: return 0;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED: return 1;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE: return 2;
    case X509_V_ERR_CERT_SIGNATURE_FAILURE: return 3;
    case X509_V_ERR_INVALID_PURPOSE: return 4;
    case X509_V_ERR_CERT_REVOKED: return 5;
    case X509_V_ERR_INVALID_CA:
    case X509_V_ERR_PATH_LENGTH_EXCEEDED: return 6;
    case X509_V_ERR_UNHANDLED_CRITICAL_EXTENSION: return 7;
    case X509_V_ERR_HOSTNAME_MISMATCH: return 8;
    default: return std::size(verdicts) - 1;
    }
}

}  // namespace

std::uint32_t trustBitOf(int verifyError) { return verdicts[verdictRow(verifyError)].trustBit; }

std::uint32_t policyVerdictOf(std::span<const int> verifyErrors) {
    if (verifyErrors.empty()) return 0;
    std::size_t first = std::size(verdicts) - 1;
    for (const int error : verifyErrors) first = std::min(first, verdictRow(error));
    return verdicts[first].policyVerdict;
}

std::uint32_t lastOpenSslError(std::uint32_t fallback) {
    const unsigned long error = ERR_peek_last_error();
    return error != 0 ? static_cast<std::uint32_t>(error) : fallback;
}

}  // namespace veskcheck
