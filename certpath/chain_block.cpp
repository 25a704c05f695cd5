#include "certpath/chain_block.h"

#include <algorithm>

#include "certpath/chain_codes.h"
#include "certpath/chain_words.h"
#include "certpath/failure.h"
#include "common/decimal_text.h"
#include "common/joined_text.h"
#include "patch/digest.h"

namespace veskcheck {
namespace {

namespace words = chainWords;

constexpr std::size_t shownPaths = 4;
constexpr std::size_t shownLayers = 16;
constexpr std::size_t maxNameUnits = 120;

struct NamedBit {
    std::uint32_t bit;
    std::u16string_view words;
};

// Tested and written in this order, which is not the order of their values.
// clang-format off
constexpr NamedBit namedBits[] = {
    {trustBits::untrustedRoot, words::untrustedRoot},
    {trustBits::partialChain, u" 路径不完整"},
    {trustBits::notTimeValid, u" 有效期异常"},
    {trustBits::revoked, u" 已吊销"},
    {trustBits::explicitDistrust, u" 被明确禁止信任"},
    {trustBits::signatureNotValid, u" 签名无效"},
    {trustBits::notValidForUsage, u" 用途不符"},
};
// clang-format on

bool keptInName(char16_t unit) {
    return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z') || (unit >= u'0' && unit <= u'9') ||
           (unit >= 0x4E00 && unit <= 0x9FFF) ||
           std::u16string_view(u" .-_*()").find(unit) != std::u16string_view::npos;
}

std::u16string fingerprint(const std::vector<unsigned char>& encoded) {
    return veskpatch::sha256ToHex(veskpatch::sha256Digest(encoded));
}

void writeLayer(std::u16string& block, std::size_t number, const ChainLayer& layer) {
    block +=
        joined({words::layer, decimalText(number), words::layerSubject, layer.subject, words::issuer, layer.issuer,
                words::status, trustStatusText(layer.status), words::fingerprint, fingerprint(layer.encoded), u"\r\n"});
}

void writePath(std::u16string& block, std::size_t number, const ChainPath& path) {
    block += joined({words::path, decimalText(number), words::pathStatus, trustStatusText(path.status), u"\r\n"});
    const std::size_t shown = std::min(path.layers.size(), shownLayers);
    for (std::size_t i = 0; i < shown; ++i) writeLayer(block, i + 1, path.layers[i]);
    if (path.layers.size() > shownLayers) block += joined({words::moreLayers, u"\r\n"});
}

}  // namespace

std::u16string trustStatusText(std::uint32_t bits) {
    if (bits == 0) return std::u16string(words::statusOk);
    std::u16string text = statusCodeText(bits);
    for (const NamedBit& named : namedBits) {
        if (bits & named.bit) text += named.words;
    }
    return text;
}

std::u16string cleanCommonName(std::u16string_view raw) {
    std::u16string name;
    for (const char16_t unit : raw.substr(0, raw.find(u'\0'))) {
        if (name.size() == maxNameUnits) break;
        name += keptInName(unit) ? unit : u'?';
    }
    return name.empty() ? u"（无通用名称）" : name;
}

std::u16string writeChainBlock(const ChainDescription& chain) {
    std::u16string block =
        joined({words::blockHeading, u"\r\n", words::overallStatus, trustStatusText(chain.overallStatus),
                words::policyVerdict, statusCodeText(chain.policyVerdict), u"\r\n"});
    const std::size_t shown = std::min(chain.paths.size(), shownPaths);
    for (std::size_t i = 0; i < shown; ++i) writePath(block, i + 1, chain.paths[i]);
    return block;
}

}  // namespace veskcheck
