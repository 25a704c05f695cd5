#include "net/fetch_rules.h"

#include <cstddef>

#include "common/ascii_text.h"

namespace veskcheck {
namespace {

constexpr std::size_t maxPeerAddressLength = 64;

}  // namespace

std::u16string reportedPeerAddress(std::string_view text) {
    const bool plain = text.size() <= maxPeerAddressLength &&
                       text.find_first_not_of("0123456789abcdefABCDEF:.") == std::string_view::npos;
    return plain ? widenedAscii(text) : std::u16string();
}

}  // namespace veskcheck
