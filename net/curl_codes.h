#pragma once

#include <cstdint>

namespace veskcheck {

// The libcurl result codes (CURLcode values) and HTTP statuses that the diagnosis names, as plain
// numbers so that its rules need no libcurl header. net/fetch.cpp checks each one against
// libcurl's own name at compile time.
inline constexpr std::int32_t curlOk = 0;
inline constexpr std::int32_t curlCouldntResolveHost = 6;
inline constexpr std::int32_t curlCouldntConnect = 7;
inline constexpr std::int32_t curlPartialFile = 18;
inline constexpr std::int32_t curlOperationTimedOut = 28;
inline constexpr std::int32_t curlSslConnectError = 35;
inline constexpr std::int32_t curlAbortedByCallback = 42;
inline constexpr std::int32_t curlGotNothing = 52;
inline constexpr std::int32_t curlSendError = 55;
inline constexpr std::int32_t curlRecvError = 56;
inline constexpr std::int32_t curlSslCertProblem = 58;
inline constexpr std::int32_t curlPeerFailedVerification = 60;
inline constexpr std::int32_t curlFileSizeExceeded = 63;
inline constexpr std::int32_t curlSslCacertBadFile = 77;
inline constexpr std::int32_t curlSslIssuerError = 83;

inline constexpr std::int32_t httpNoResponse = 0;
inline constexpr std::int32_t httpOk = 200;

}  // namespace veskcheck
