#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "common/cancel_flag.h"
#include "common/failure_category.h"
#include "net/fetch_outcome.h"

namespace veskcheck {

struct LibcurlComponents {
    std::string version;     // curl_version_info's version text
    std::string tlsBackend;  // and its ssl_version text
};

// What a check run needs from the world: the clock, the system, libcurl, the fetch, the
// verification and the probe. The real services are the default; tests pass fakes.
struct CheckServices {
    std::string cdnHost;
    std::function<std::u16string(bool local)> timestamp;
    std::function<std::u16string()> systemDescription;
    std::function<std::optional<std::u16string>()> wineVersion;  // nothing outside Wine
    std::function<bool()> startLibcurl;                          // curl_global_init succeeded
    std::function<void()> stopLibcurl;
    std::function<std::optional<LibcurlComponents>()> libcurlComponents;
    std::function<FetchOutcome(ConnectionMode, const CancelFlag&, const std::string& url, std::uint32_t maxBytes)>
        fetch;
    std::function<FailureCategory(std::span<const unsigned char> manifest, std::span<const unsigned char> signature)>
        verify;
    std::function<std::u16string(const std::u16string& peerIp, std::uint16_t port, const std::u16string& hostName,
                                 const CancelFlag&)>
        probe;
};

CheckServices realCheckServices();

}  // namespace veskcheck
