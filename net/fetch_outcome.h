#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/failure_category.h"

namespace veskcheck {

// How a fetch resolves addresses; the value is handed unchanged to CURLOPT_IPRESOLVE.
enum class ConnectionMode : std::uint8_t {
    SystemChosen = 0,  // CURL_IPRESOLVE_WHATEVER
    Ipv4Only = 1,      // CURL_IPRESOLVE_V4
};

// The result of one HTTPS GET, with every diagnostic fact libcurl could report.
struct FetchOutcome {
    ConnectionMode mode = ConnectionMode::Ipv4Only;
    std::int32_t curlCode = 0;
    std::int32_t httpStatus = 0;
    std::uint64_t elapsedMs = 0;
    std::u16string peerIp;
    std::u16string detail;  // recognised certificate error name; empty when none
    FailureCategory category = FailureCategory::Unknown;
    std::u16string target = u"清单";
    std::vector<unsigned char> body;  // holds bytes only when category is Ok
    std::int64_t dnsMs = 0;
    std::int64_t connectMs = 0;
    std::int64_t tlsMs = 0;
};

}  // namespace veskcheck
