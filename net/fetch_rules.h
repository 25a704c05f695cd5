#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/fetch_outcome.h"

namespace veskcheck {

// The rules one fetch applies to what libcurl delivers and reports, kept apart from libcurl so
// that they can be tested on their own.

// What the write callback appends to; one per fetch.
struct BodySink {
    std::vector<unsigned char> body;
    std::uint32_t maxBytes = 0;
    bool tooLarge = false;     // a delivered block did not fit under the cap
    bool writeFailed = false;  // appending a block failed (out of memory)
};

// Takes one block of `size` * `nmemb` bytes: appended whole while the body stays within the cap.
// A block that would pass the cap (or whose length overflows) is refused whole and marks the body
// too large; a failed append marks the write failed. Answers the bytes taken: fewer than offered
// makes libcurl stop the transfer, which is how an oversized body is refused without ever holding
// more than the cap.
std::size_t takeBlock(BodySink& sink, const char* data, std::size_t size, std::size_t nmemb) noexcept;

// The body rules on top of the classification: an oversized 200 is an invalid manifest, a failed
// append is unknown whatever else was decided, an empty 200 is an invalid manifest, and only an Ok
// outcome keeps its bytes (moved out of the sink).
void applyBodyRules(FetchOutcome& outcome, BodySink& sink);

// The server address as the report shows it: the address text when it is plain IPv4 or IPv6
// notation of at most 64 characters; empty for anything else (a zone suffix, an unexpected text),
// which is dropped rather than shown.
std::u16string reportedPeerAddress(std::string_view text);

}  // namespace veskcheck
