#include "net/fetch_rules.h"

#include <limits>
#include <utility>

#include "common/ascii_text.h"
#include "net/curl_codes.h"

namespace veskcheck {
namespace {

constexpr std::size_t maxPeerAddressLength = 64;

}  // namespace

std::size_t takeBlock(BodySink& sink, const char* data, std::size_t size, std::size_t nmemb) noexcept {
    if (size != 0 && nmemb > std::numeric_limits<std::size_t>::max() / size) {
        sink.tooLarge = true;
        return 0;
    }
    const std::size_t length = size * nmemb;
    if (length > sink.maxBytes - sink.body.size()) {
        sink.tooLarge = true;
        return 0;
    }
    try {
        sink.body.insert(sink.body.end(), data, data + length);
    } catch (...) {
        sink.writeFailed = true;
        return 0;
    }
    return length;
}

void applyBodyRules(FetchOutcome& outcome, BodySink& sink) {
    if (outcome.httpStatus == httpOk && (sink.tooLarge || outcome.curlCode == curlFileSizeExceeded))
        outcome.category = FailureCategory::ManifestInvalid;
    if (sink.writeFailed) {
        outcome.category = FailureCategory::Unknown;
    } else if (outcome.category == FailureCategory::Ok) {
        if (sink.body.empty()) outcome.category = FailureCategory::ManifestInvalid;
        else outcome.body = std::move(sink.body);
    }
}

std::u16string reportedPeerAddress(std::string_view text) {
    const bool plain = text.size() <= maxPeerAddressLength &&
                       text.find_first_not_of("0123456789abcdefABCDEF:.") == std::string_view::npos;
    return plain ? widenedAscii(text) : std::u16string();
}

}  // namespace veskcheck
