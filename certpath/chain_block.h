#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veskcheck {

// What the platform's chain engine said about one server certificate, read into plain data so
// that the report block is written by one piece of code on every platform.
struct ChainLayer {
    std::u16string subject;  // cleaned common names, as certCommonName gives them
    std::u16string issuer;
    std::uint32_t status = 0;            // trust status word of this certificate
    std::vector<unsigned char> encoded;  // the certificate's DER encoding
};

struct ChainPath {
    std::uint32_t status = 0;
    std::vector<ChainLayer> layers;  // server certificate first
};

struct ChainDescription {
    std::uint32_t overallStatus = 0;
    std::uint32_t policyVerdict = 0;  // 0 when the SSL server policy for the host name holds
    std::vector<ChainPath> paths;
};

// "正常" for 0, otherwise the number followed by the words of the named bits.
std::u16string trustStatusText(std::uint32_t bits);

// Cleans a common name as read from a certificate, up to its first zero unit: at most 120 units,
// each unit outside the plain letters, digits, CJK ideographs and " .-_*()" becoming "?".
// An empty result reads "（无通用名称）".
std::u16string cleanCommonName(std::u16string_view raw);

// The report block for one probed address: the two heading lines, then at most 4 paths of at
// most 16 layers each. Throws PatchError when a fingerprint cannot be computed.
std::u16string writeChainBlock(const ChainDescription& chain);

}  // namespace veskcheck
