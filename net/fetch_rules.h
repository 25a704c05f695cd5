#pragma once

#include <string>
#include <string_view>

namespace veskcheck {

// The rules one fetch applies to what libcurl reports, kept apart from libcurl so that they can be
// tested on their own.

// The server address as the report shows it: the address text when it is plain IPv4 or IPv6
// notation of at most 64 characters; empty for anything else (a zone suffix, an unexpected text),
// which is dropped rather than shown.
std::u16string reportedPeerAddress(std::string_view text);

}  // namespace veskcheck
