#include "certpath/openssl_codes.h"

#include <openssl/err.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <cstddef>

namespace veskcheck {
namespace {

struct Verdict {
    std::uint32_t trustBit;
    std::uint32_t policyVerdict;
};

// In the order the policy verdict is chosen; the last row takes every error not named.
constexpr Verdict verdicts[] = {
    {0x00000001, 0x800B0101},  // not time valid / CERT_E_EXPIRED
    {0x00000020, 0x800B0109},  // untrusted root / CERT_E_UNTRUSTEDROOT
    {0x00010000, 0x800B010A},  // partial chain / CERT_E_CHAINING
    {0x00000008, 0x80096004},  // signature not valid / TRUST_E_CERT_SIGNATURE
    {0x00000010, 0x800B0110},  // not valid for usage / CERT_E_WRONG_USAGE
    {0x00000004, 0x800B010C},  // revoked / CERT_E_REVOKED
    {0x00000400, 0x800B0103},  // invalid basic constraints / CERT_E_ROLE
    {0x08000000, 0x800B0105},  // unsupported critical extension / CERT_E_CRITICAL
    {0x00000000, 0x800B010F},  // host name / CERT_E_CN_NO_MATCH
    {0x00000100, 0x800B010B},  // invalid extension / TRUST_E_FAIL
};

std::size_t verdictRow(int verifyError) {
    switch (verifyError) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return 0;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
        return 1;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return 2;
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        return 3;
    case X509_V_ERR_INVALID_PURPOSE:
        return 4;
    case X509_V_ERR_CERT_REVOKED:
        return 5;
    case X509_V_ERR_INVALID_CA:
    case X509_V_ERR_PATH_LENGTH_EXCEEDED:
        return 6;
    case X509_V_ERR_UNHANDLED_CRITICAL_EXTENSION:
        return 7;
    case X509_V_ERR_HOSTNAME_MISMATCH:
        return 8;
    default:
        return std::size(verdicts) - 1;
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
