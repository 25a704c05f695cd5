#pragma once

#include <cstdint>

namespace veskcheck {

// The diagnosis of one fetch. The numbers are printed in the report and never change.
enum class FailureCategory : std::int32_t {
    Ok = 0,
    CertTimeInvalid = 1,
    CertUntrusted = 2,
    CertRevoked = 3,
    RevocationUnknown = 4,
    CertNameMismatch = 5,
    CertOther = 6,
    TlsOther = 7,
    DnsFailed = 8,
    ConnectFailed = 9,
    Timeout = 10,
    HttpStatus = 11,
    TransferIncomplete = 12,
    ManifestInvalid = 13,
    SignatureInvalid = 14,
    Cancelled = 15,
    Unknown = 16,
};

}  // namespace veskcheck
