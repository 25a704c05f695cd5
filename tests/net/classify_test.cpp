#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "net/classify.h"
#include "utf8_text.h"

namespace veskcheck {
namespace {

using vesktest::toUtf8;

struct ClassifyCase {
    std::int32_t curlCode;
    std::int32_t httpStatus;
    std::string errorText;
    FailureCategory category;
    std::u16string detail;
};

void expectClassified(const ClassifyCase& c) {
    SCOPED_TRACE("curl " + std::to_string(c.curlCode) + ", status " + std::to_string(c.httpStatus) + ", text \"" +
                 c.errorText + "\"");
    std::u16string detail = u"left over from an earlier fetch";
    EXPECT_EQ(classifyOutcome(c.curlCode, c.httpStatus, c.errorText, detail), c.category);
    EXPECT_EQ(toUtf8(detail), toUtf8(c.detail));
}

// Prefixes and system messages as libcurl's Schannel back end writes them. The messages come from
// the user's ANSI code page; these are the GBK bytes of Chinese Windows.
const std::string nextContextFailed = "schannel: next InitializeSecurityContext failed: ";
const std::string sniOrCertCheckFailed = "schannel: SNI or certificate check failed: ";
const std::string chainTrustError = "schannel: CertGetCertificateChain trust error ";
const std::string gbkUntrustedRoot =  // 证书链是由不受信任的颁发机构颁发的。
    "\xd6\xa4\xca\xe9\xc1\xb4\xca\xc7\xd3\xc9\xb2\xbb\xca\xdc\xd0\xc5\xc8\xce\xb5\xc4\xb0\xe4\xb7\xa2\xbb\xfa\xb9\xb9"
    "\xb0\xe4\xb7\xa2\xb5\xc4\xa1\xa3";
const std::string gbkCertExpired =  // 接收到的证书已过期。
    "\xbd\xd3\xca\xd5\xb5\xbd\xb5\xc4\xd6\xa4\xca\xe9\xd2\xd1\xb9\xfd\xc6\xda\xa1\xa3";
const std::string gbkWrongPrincipal =  // 目标主体名称不正确。
    "\xc4\xbf\xb1\xea\xd6\xf7\xcc\xe5\xc3\xfb\xb3\xc6\xb2\xbb\xd5\xfd\xc8\xb7\xa1\xa3";
const std::string gbkRevocationOffline =  // 由于吊销服务器已脱机，吊销功能无法检查吊销。
    "\xd3\xc9\xd3\xda\xb5\xf5\xcf\xfa\xb7\xfe\xce\xf1\xc6\xf7\xd2\xd1\xcd\xd1\xbb\xfa\xa3\xac\xb5\xf5\xcf\xfa\xb9\xa6"
    "\xc4\xdc\xce\xde\xb7\xa8\xbc\xec\xb2\xe9\xb5\xf5\xcf\xfa\xa1\xa3";
const std::string gbkNoRevocationCheck =  // 吊销功能无法检查证书是否吊销。
    "\xb5\xf5\xcf\xfa\xb9\xa6\xc4\xdc\xce\xde\xb7\xa8\xbc\xec\xb2\xe9\xd6\xa4\xca\xe9\xca\xc7\xb7\xf1\xb5\xf5\xcf\xfa"
    "\xa1\xa3";
const std::string gbkRevoked =  // 证书已被它的颁发者吊销。
    "\xd6\xa4\xca\xe9\xd2\xd1\xb1\xbb\xcb\xfc\xb5\xc4\xb0\xe4\xb7\xa2\xd5\xdf\xb5\xf5\xcf\xfa\xa1\xa3";
const std::string gbkCnNoMatch =  // 证书的 CN 名称与传递的值不匹配。
    "\xd6\xa4\xca\xe9\xb5\xc4 CN \xc3\xfb\xb3\xc6\xd3\xeb\xb4\xab\xb5\xdd\xb5\xc4\xd6\xb5\xb2\xbb\xc6\xa5\xc5\xe4\xa1\xa3";
const std::string illegalMessage =
    "SEC_E_ILLEGAL_MESSAGE (0x80090326) - This error usually occurs when a fatal SSL/TLS alert is received (e.g. "
    "handshake failed). More detail may be available in the Windows System event log.";

TEST(ClassifyOutcome, DecidesByResultCodeAndStatus) {
    const std::string expiredText = nextContextFailed + "SEC_E_CERT_EXPIRED (0x80090328) - " + gbkCertExpired;
    const ClassifyCase cases[] = {
        {0, 200, "", FailureCategory::Ok, u""},
        {0, 0, "", FailureCategory::Unknown, u""},
        {42, 404, "", FailureCategory::Cancelled, u""},
        {42, 200, "", FailureCategory::Cancelled, u""},
        {42, 0, "Callback aborted", FailureCategory::Cancelled, u""},
        {0, 301, "", FailureCategory::HttpStatus, u""},
        {0, 404, "", FailureCategory::HttpStatus, u""},
        {28, 200, "Operation timed out after 20000 milliseconds", FailureCategory::Timeout, u""},
        {28, 503, "", FailureCategory::HttpStatus, u""},
        {28, 0, "", FailureCategory::Timeout, u""},
        {6, 0, "Could not resolve host: update.vesk.example", FailureCategory::DnsFailed, u""},
        {7, 0, "", FailureCategory::ConnectFailed, u""},
        {18, 200, "", FailureCategory::TransferIncomplete, u""},
        {52, 0, "Empty reply from server", FailureCategory::TransferIncomplete, u""},
        {55, 0, "", FailureCategory::TransferIncomplete, u""},
        {56, 200, "", FailureCategory::TransferIncomplete, u""},
        {63, 200, "Maximum file size exceeded", FailureCategory::ManifestInvalid, u""},
        {23, 200, "Failure writing output to destination", FailureCategory::Unknown, u""},
        {1, 0, "", FailureCategory::Unknown, u""},
        {-1, 0, "", FailureCategory::Unknown, u""},
        // The certificate names count only for the five TLS and certificate result codes, and
        // never once the server has answered with a status.
        {28, 0, expiredText, FailureCategory::Timeout, u""},
        {56, 200, expiredText, FailureCategory::TransferIncomplete, u""},
        {60, 404, expiredText, FailureCategory::HttpStatus, u""},
        {35, 200, expiredText, FailureCategory::CertTimeInvalid, u"SEC_E_CERT_EXPIRED"},
        {58, 0, expiredText, FailureCategory::CertTimeInvalid, u"SEC_E_CERT_EXPIRED"},
        {77, 0, expiredText, FailureCategory::CertTimeInvalid, u"SEC_E_CERT_EXPIRED"},
        {83, 0, expiredText, FailureCategory::CertTimeInvalid, u"SEC_E_CERT_EXPIRED"},
        {35, 0, "", FailureCategory::TlsOther, u""},
        {58, 0, "", FailureCategory::CertOther, u""},
        {60, 0, "", FailureCategory::CertOther, u""},
        {77, 0, "", FailureCategory::CertOther, u""},
        {83, 0, "", FailureCategory::CertOther, u""},
    };
    for (const auto& c : cases) expectClassified(c);
}

TEST(ClassifyOutcome, RecognisesSchannelCertificateErrors) {
    const ClassifyCase cases[] = {
        {35, 0, nextContextFailed + "SEC_E_CERT_EXPIRED (0x80090328) - " + gbkCertExpired,
         FailureCategory::CertTimeInvalid, u"SEC_E_CERT_EXPIRED"},
        {60, 0, sniOrCertCheckFailed + "SEC_E_WRONG_PRINCIPAL (0x80090322) - " + gbkWrongPrincipal,
         FailureCategory::CertNameMismatch, u"SEC_E_WRONG_PRINCIPAL"},
        {60, 0, "schannel: SEC_E_UNTRUSTED_ROOT (0x80090325) - " + gbkUntrustedRoot, FailureCategory::CertUntrusted,
         u"SEC_E_UNTRUSTED_ROOT"},
        {35, 0, nextContextFailed + "CRYPT_E_REVOKED (0x80092010) - " + gbkRevoked, FailureCategory::CertRevoked,
         u"CRYPT_E_REVOKED"},
        // libcurl 8.5 and later name the revocation codes, where 7.88 wrote "Unknown error" for
        // them; both eras classify alike.
        {35, 0, nextContextFailed + "CRYPT_E_REVOCATION_OFFLINE (0x80092013) - " + gbkRevocationOffline,
         FailureCategory::RevocationUnknown, u"CRYPT_E_REVOCATION_OFFLINE"},
        {35, 0, nextContextFailed + "CRYPT_E_NO_REVOCATION_CHECK (0x80092012) - " + gbkNoRevocationCheck,
         FailureCategory::RevocationUnknown, u"CRYPT_E_NO_REVOCATION_CHECK"},
        // Codes libcurl has no name for are recognised by their number alone.
        {35, 0, nextContextFailed + "Unknown error (0x80092010) - " + gbkRevoked, FailureCategory::CertRevoked,
         u"CRYPT_E_REVOKED"},
        {60, 0, sniOrCertCheckFailed + "Unknown error (0x80090322) - " + gbkWrongPrincipal,
         FailureCategory::CertNameMismatch, u"SEC_E_WRONG_PRINCIPAL"},
        {35, 0, nextContextFailed + "Unknown error (0x80090328) - " + gbkCertExpired, FailureCategory::CertTimeInvalid,
         u"SEC_E_CERT_EXPIRED"},
        {35, 0, nextContextFailed + "Unknown error (0x80092013) - " + gbkRevocationOffline,
         FailureCategory::RevocationUnknown, u"CRYPT_E_REVOCATION_OFFLINE"},
        {35, 0, nextContextFailed + "Unknown error (0x80092012) - " + gbkNoRevocationCheck,
         FailureCategory::RevocationUnknown, u"CRYPT_E_NO_REVOCATION_CHECK"},
        {35, 0, nextContextFailed + "Unknown error (0x80090325) - " + gbkUntrustedRoot, FailureCategory::CertUntrusted,
         u"SEC_E_UNTRUSTED_ROOT"},
        {35, 0, nextContextFailed + "Unknown error (0x800B010F) - " + gbkCnNoMatch, FailureCategory::CertNameMismatch,
         u"CERT_E_CN_NO_MATCH"},
        // Newer libcurl prints the digits in lower case; a code paired with a chain trust-status
        // name reports that name.
        {35, 0, nextContextFailed + "Unknown error (0x800b010f) - " + gbkCnNoMatch, FailureCategory::CertNameMismatch,
         u"CERT_E_CN_NO_MATCH"},
        {35, 0, nextContextFailed + "Unknown error (0x800b010c) - " + gbkRevoked, FailureCategory::CertRevoked,
         u"CERT_TRUST_IS_REVOKED"},
        {35, 0, nextContextFailed + "Unknown error (0x800b0101)", FailureCategory::CertTimeInvalid,
         u"CERT_TRUST_IS_NOT_TIME_VALID"},
        {60, 0, "schannel: Unknown error (0x800b0109)", FailureCategory::CertUntrusted,
         u"CERT_TRUST_IS_UNTRUSTED_ROOT"},
        {60, 0, "schannel: Unknown error (0x800b010a)", FailureCategory::CertUntrusted, u"CERT_TRUST_IS_PARTIAL_CHAIN"},
        {60, 0, "schannel: Unknown error (0x800B010A)", FailureCategory::CertUntrusted, u"CERT_TRUST_IS_PARTIAL_CHAIN"},
        {35, 0, nextContextFailed + "Unknown error (0x800b010e)", FailureCategory::RevocationUnknown,
         u"CERT_E_REVOCATION_FAILURE"},
        // libcurl 8's text for a Windows API code the system has no message for.
        {60, 0, "schannel: failed to get the certificate chain: Unknown error 2148204815 (0x800b010f)",
         FailureCategory::CertNameMismatch, u"CERT_E_CN_NO_MATCH"},
        {60, 0, "schannel: failed to get the certificate chain: Unknown error 2148081683 (0x80092013)",
         FailureCategory::RevocationUnknown, u"CRYPT_E_REVOCATION_OFFLINE"},
        // Chain checks made by libcurl itself name the trust status without a code.
        {60, 0, chainTrustError + "CERT_TRUST_IS_PARTIAL_CHAIN", FailureCategory::CertUntrusted,
         u"CERT_TRUST_IS_PARTIAL_CHAIN"},
        {60, 0, chainTrustError + "CERT_TRUST_IS_UNTRUSTED_ROOT", FailureCategory::CertUntrusted,
         u"CERT_TRUST_IS_UNTRUSTED_ROOT"},
        {60, 0, chainTrustError + "CERT_TRUST_IS_NOT_TIME_VALID", FailureCategory::CertTimeInvalid,
         u"CERT_TRUST_IS_NOT_TIME_VALID"},
        {60, 0, chainTrustError + "CERT_TRUST_IS_REVOKED", FailureCategory::CertRevoked, u"CERT_TRUST_IS_REVOKED"},
        {60, 0, chainTrustError + "CERT_TRUST_REVOCATION_STATUS_UNKNOWN", FailureCategory::RevocationUnknown,
         u"CERT_TRUST_REVOCATION_STATUS_UNKNOWN"},
        {60, 0, chainTrustError + "CERT_TRUST_IS_OFFLINE_REVOCATION", FailureCategory::RevocationUnknown,
         u"CERT_TRUST_IS_OFFLINE_REVOCATION"},
        {60, 0, "CERT_E_REVOKED", FailureCategory::CertRevoked, u"CERT_E_REVOKED"},
        {60, 0, "CERT_E_EXPIRED", FailureCategory::CertTimeInvalid, u"CERT_E_EXPIRED"},
        {60, 0, "CERT_E_UNTRUSTEDROOT", FailureCategory::CertUntrusted, u"CERT_E_UNTRUSTEDROOT"},
        {60, 0, "CERT_E_CHAINING", FailureCategory::CertUntrusted, u"CERT_E_CHAINING"},
        // Names match in any case.
        {35, 0, "schannel: sec_e_cert_expired", FailureCategory::CertTimeInvalid, u"SEC_E_CERT_EXPIRED"},
        // The first row of the table wins over a later one, wherever the names stand in the text.
        {60, 0, "CERT_TRUST_IS_NOT_TIME_VALID, CERT_TRUST_IS_REVOKED", FailureCategory::CertRevoked,
         u"CERT_TRUST_IS_REVOKED"},
        {60, 0, "SEC_E_CERT_EXPIRED SEC_E_WRONG_PRINCIPAL", FailureCategory::CertNameMismatch,
         u"SEC_E_WRONG_PRINCIPAL"},
        {60, 0, "CERT_E_CHAINING CRYPT_E_REVOCATION_OFFLINE", FailureCategory::CertUntrusted, u"CERT_E_CHAINING"},
        // Nothing recognisable: the result code alone decides.
        {35, 0, nextContextFailed + illegalMessage, FailureCategory::TlsOther, u""},
        {60, 0, nextContextFailed + illegalMessage, FailureCategory::CertOther, u""},
        {35, 0, "schannel: failed to receive handshake, SSL/TLS connection failed", FailureCategory::TlsOther, u""},
        {35, 0, nextContextFailed + "Unknown error (0x8009201)", FailureCategory::TlsOther, u""},
        {60, 0, "SSL certificate problem: certificate has expired", FailureCategory::CertOther, u""},
        {60, 0, gbkUntrustedRoot + gbkRevoked, FailureCategory::CertOther, u""},
    };
    for (const auto& c : cases) expectClassified(c);
}

// The table's first matching row decides. Each row named in one text with the row after it (named
// first, so the place in the text cannot decide) must win: exchanging any two neighbours fails.
TEST(ClassifyOutcome, EachRowOfTheTableWinsOverTheNext) {
    using enum FailureCategory;
    const std::pair<const char*, FailureCategory> rows[] = {
        {"CERT_TRUST_IS_REVOKED", CertRevoked},
        {"CRYPT_E_REVOKED", CertRevoked},
        {"CERT_E_REVOKED", CertRevoked},
        {"SEC_E_WRONG_PRINCIPAL", CertNameMismatch},
        {"CERT_E_CN_NO_MATCH", CertNameMismatch},
        {"CERT_TRUST_IS_NOT_TIME_VALID", CertTimeInvalid},
        {"SEC_E_CERT_EXPIRED", CertTimeInvalid},
        {"CERT_E_EXPIRED", CertTimeInvalid},
        {"CERT_TRUST_IS_UNTRUSTED_ROOT", CertUntrusted},
        {"SEC_E_UNTRUSTED_ROOT", CertUntrusted},
        {"CERT_E_UNTRUSTEDROOT", CertUntrusted},
        {"CERT_TRUST_IS_PARTIAL_CHAIN", CertUntrusted},
        {"CERT_E_CHAINING", CertUntrusted},
        {"CRYPT_E_REVOCATION_OFFLINE", RevocationUnknown},
        {"CRYPT_E_NO_REVOCATION_CHECK", RevocationUnknown},
        {"CERT_TRUST_REVOCATION_STATUS_UNKNOWN", RevocationUnknown},
        {"CERT_TRUST_IS_OFFLINE_REVOCATION", RevocationUnknown},
        {"CERT_E_REVOCATION_FAILURE", RevocationUnknown},
    };
    for (std::size_t i = 0; i + 1 < std::size(rows); ++i) {
        const auto& [name, category] = rows[i];
        const std::string text = std::string("schannel: ") + rows[i + 1].first + ", " + name;
        expectClassified({60, 0, text, category, std::u16string(name, name + std::strlen(name))});
    }
}

// libcurl's error buffer holds 255 bytes and a terminating zero, so a long system message ends
// in the middle of a double-byte character.
TEST(ClassifyOutcome, ReadsTextCutInsideAGbkCharacter) {
    std::string text = nextContextFailed + "Unknown error (0x80092013) - ";
    while (text.size() < 255) text += gbkRevocationOffline;
    text.resize(255);
    ASSERT_GE(static_cast<unsigned char>(text.back()), 0x81);  // a lead byte without its trail byte
    expectClassified({35, 0, text, FailureCategory::RevocationUnknown, u"CRYPT_E_REVOCATION_OFFLINE"});
}

}  // namespace
}  // namespace veskcheck
