#pragma once

#include <cstdint>
#include <string>

#include "common/cancel_flag.h"
#include "net/fetch_outcome.h"

namespace veskcheck {

// The caps the run passes: the manifest may use the whole 16 MiB the updater allows, the
// signature is 384 bytes and anything much larger is not a signature.
inline constexpr std::uint32_t manifestMaxBytes = 16u * 1024u * 1024u;
inline constexpr std::uint32_t signatureMaxBytes = 1024u;

// One HTTPS GET with the updater's own settings. Every network, TLS and HTTP failure is expressed
// in the outcome; only a libcurl refusal of an option throws (std::runtime_error "curl option").
// Needs curl_global_init to have been called.
FetchOutcome fetchUrl(ConnectionMode mode, const CancelFlag& cancel, const std::string& url, std::uint32_t maxBytes);

}  // namespace veskcheck
