#pragma once

// One submitted report read back into its facts. Texts keep the report's own UTF-16.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/advice.h"

namespace veskreport {

using Mode = veskcheck::ConnectionMode;

struct Diagnostic {
    Mode mode = Mode::Ipv4Only;
    std::u16string target;
    std::uint32_t curlCode = 0;
    std::int32_t httpStatus = 0;
    std::uint64_t elapsedMs = 0;
    std::uint64_t dnsMs = 0;
    std::uint64_t connectMs = 0;
    std::uint64_t tlsMs = 0;
    std::u16string peer;
    std::u16string certificateWord;
};

struct ChainLayer {
    std::u16string subject;
    std::u16string issuer;
    std::u16string status;
    std::u16string fingerprint;
};

struct ChainPath {
    std::u16string status;
    std::vector<ChainLayer> layers;
    bool moreLayers = false;  // the report left further layers out
};

// What the certificate probe reported for one address: a chain, or the step that failed.
struct CertificateCheck {
    std::u16string peer;
    std::u16string host;
    std::u16string overallStatus;  // empty when the probe failed
    std::u16string policyVerdict;
    std::vector<ChainPath> paths;
    std::u16string failedStep;  // the step, or the local analysis failure, when the probe failed
    std::u16string failureCode;
};

struct Classification {
    Mode mode = Mode::Ipv4Only;
    std::int32_t category = 0;
    std::u16string detail;
};

struct ReportRecord {
    std::u16string toolVersion;
    std::u16string updaterVersion;
    std::u16string startUtc;                            // as written, "YYYY-MM-DD HH:MM:SS"
    std::u16string computerTime;                        // likewise, the computer's own clock
    std::optional<std::int64_t> computerOffsetSeconds;  // computer time minus UTC
    std::u16string system;                              // the system line's text
    std::u16string windowsVersion;                      // parsed from it when detection worked
    std::u16string architecture;
    std::optional<std::uint32_t> build;
    // The Windows program ran under Wine, whose TLS does not judge certificates: a fetch's
    // certificate verdict there says nothing about the player's computer.
    std::optional<std::u16string> wineVersion;
    std::u16string host;
    std::optional<std::u16string> libcurlVersion;
    std::optional<std::u16string> tlsBackend;
    bool internalError = false;
    std::u16string adviceText;
    std::optional<veskcheck::AdviceIdentity> advice;  // nothing: unrecognised
    std::vector<Diagnostic> diagnostics;
    std::vector<CertificateCheck> certificateChecks;
    bool certificateCheckCancelled = false;
    bool noAddress = false;
    std::vector<Classification> classifications;
};

}  // namespace veskreport
