#include "net/classify.h"

#include <array>
#include <string_view>

#include "common/ascii_text.h"
#include "net/curl_codes.h"

namespace veskcheck {
namespace {

// One row of the certificate error table. The texts are upper case because they are searched in
// an upper-cased copy of the error text, where Schannel writes codes as "(0x80090325)" or, in
// newer libcurl, "(0x800b010c)".
struct CertErrorRule {
    std::string_view name;
    std::string_view code;  // empty when the row matches by name only
    FailureCategory category;
};

// The first matching row wins, so a text naming several problems reports the most serious one.
// Rows 1, 6, 9 and 12 pair a chain trust-status name with the code of the matching certificate
// error: libcurl has no name for some of these codes and prints "Unknown error (0x...)".
constexpr std::array<CertErrorRule, 18> certErrorRules{{
    {"CERT_TRUST_IS_REVOKED", "0X800B010C", FailureCategory::CertRevoked},
    {"CRYPT_E_REVOKED", "0X80092010", FailureCategory::CertRevoked},
    {"CERT_E_REVOKED", "", FailureCategory::CertRevoked},
    {"SEC_E_WRONG_PRINCIPAL", "0X80090322", FailureCategory::CertNameMismatch},
    {"CERT_E_CN_NO_MATCH", "0X800B010F", FailureCategory::CertNameMismatch},
    {"CERT_TRUST_IS_NOT_TIME_VALID", "0X800B0101", FailureCategory::CertTimeInvalid},
    {"SEC_E_CERT_EXPIRED", "0X80090328", FailureCategory::CertTimeInvalid},
    {"CERT_E_EXPIRED", "", FailureCategory::CertTimeInvalid},
    {"CERT_TRUST_IS_UNTRUSTED_ROOT", "0X800B0109", FailureCategory::CertUntrusted},
    {"SEC_E_UNTRUSTED_ROOT", "0X80090325", FailureCategory::CertUntrusted},
    {"CERT_E_UNTRUSTEDROOT", "", FailureCategory::CertUntrusted},
    {"CERT_TRUST_IS_PARTIAL_CHAIN", "0X800B010A", FailureCategory::CertUntrusted},
    {"CERT_E_CHAINING", "", FailureCategory::CertUntrusted},
    {"CRYPT_E_REVOCATION_OFFLINE", "0X80092013", FailureCategory::RevocationUnknown},
    {"CRYPT_E_NO_REVOCATION_CHECK", "0X80092012", FailureCategory::RevocationUnknown},
    {"CERT_TRUST_REVOCATION_STATUS_UNKNOWN", "", FailureCategory::RevocationUnknown},
    {"CERT_TRUST_IS_OFFLINE_REVOCATION", "", FailureCategory::RevocationUnknown},
    {"CERT_E_REVOCATION_FAILURE", "0X800B010E", FailureCategory::RevocationUnknown},
}};

// Only ASCII letters change: the system message after the code is in the user's ANSI code page
// (GBK on Chinese Windows), and its bytes must pass through untouched whatever the C locale is.
std::string asciiUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

FailureCategory searchCertErrorRules(std::string_view errorText, FailureCategory noMatch, std::u16string& detail) {
    const std::string upper = asciiUpper(errorText);
    for (const CertErrorRule& rule : certErrorRules) {
        const bool named = upper.find(rule.name) != std::string::npos;
        const bool coded = !rule.code.empty() && upper.find(rule.code) != std::string::npos;
        if (named || coded) {
            detail = widenedAscii(rule.name);
            return rule.category;
        }
    }
    return noMatch;
}

}  // namespace

FailureCategory classifyOutcome(std::int32_t curlCode, std::int32_t httpStatus, const std::string& errorText,
                                std::u16string& detail) {
    detail.clear();
    // A cancel wins even after a response line arrived: the player stopped the run.
    if (curlCode == curlAbortedByCallback) return FailureCategory::Cancelled;
    if (httpStatus != httpNoResponse && httpStatus != httpOk) return FailureCategory::HttpStatus;
    switch (curlCode) {
    case curlOk: return httpStatus == httpOk ? FailureCategory::Ok : FailureCategory::Unknown;
    case curlCouldntResolveHost: return FailureCategory::DnsFailed;
    case curlCouldntConnect: return FailureCategory::ConnectFailed;
    case curlOperationTimedOut: return FailureCategory::Timeout;
    case curlPartialFile:
    case curlGotNothing:
    case curlSendError:
    case curlRecvError: return FailureCategory::TransferIncomplete;
    case curlFileSizeExceeded: return FailureCategory::ManifestInvalid;
    case curlSslConnectError: return searchCertErrorRules(errorText, FailureCategory::TlsOther, detail);
    case curlSslCertProblem:
    case curlPeerFailedVerification:
    case curlSslCacertBadFile:
    case curlSslIssuerError: return searchCertErrorRules(errorText, FailureCategory::CertOther, detail);
    default: return FailureCategory::Unknown;
    }
}

}  // namespace veskcheck
