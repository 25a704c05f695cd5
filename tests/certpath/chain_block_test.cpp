#include "certpath/chain_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "certpath/failure.h"
#include "utf8_text.h"

using namespace veskcheck;
using vesktest::toUtf8;

namespace {

std::vector<std::u16string> linesOf(const std::u16string& block) {
    std::vector<std::u16string> lines;
    for (std::size_t start = 0; start < block.size();) {
        const std::size_t end = block.find(u"\r\n", start);
        if (end == std::u16string::npos) {
            ADD_FAILURE() << "block does not end in CR LF: " << toUtf8(block);
            break;
        }
        lines.push_back(block.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::u16string numbered(const char16_t* prefix, std::size_t number) {
    std::u16string text = prefix;
    for (const char c : std::to_string(number)) text += static_cast<char16_t>(c);
    return text;
}

// A path of `count` layers named L1, L2, ... so that every line says which layer it shows.
ChainPath pathOfLayers(std::size_t count) {
    ChainPath path;
    for (std::size_t i = 1; i <= count; ++i) path.layers.push_back({numbered(u"L", i), u"CA", 0, {}});
    return path;
}

constexpr char16_t heading[] = u"Windows 证书路径（独立 TLS 握手，使用本机现有信任和缓存；未单独查询吊销状态）";
constexpr char16_t emptyDigest[] = u"E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855";

std::u16string layerLine(std::size_t number, const std::u16string& subject) {
    return numbered(u"  第", number) + u"层 " + subject + u"；颁发者=CA；状态=正常；SHA-256=" + emptyDigest;
}

}  // namespace

TEST(StatusCodeText, EightUpperCaseDigits) {
    const std::pair<std::uint32_t, std::u16string> cases[] = {
        {0, u"0x00000000"},
        {1223, u"0x000004C7"},
        {0xABCDEF01, u"0xABCDEF01"},
        {static_cast<std::uint32_t>(-2146893048), u"0x80090308"},  // a negative security status
    };
    for (const auto& [code, text] : cases) EXPECT_EQ(statusCodeText(code), text) << code;
}

TEST(TrustStatusText, NumberThenNamedWordsInFixedOrder) {
    const std::pair<std::uint32_t, std::u16string> cases[] = {
        {0, u"正常"},
        {0x00000020, u"0x00000020 根证书不受信任"},
        {0x00010000, u"0x00010000 路径不完整"},
        {0x00000001, u"0x00000001 有效期异常"},
        {0x00000004, u"0x00000004 已吊销"},
        {0x04000000, u"0x04000000 被明确禁止信任"},
        {0x00000008, u"0x00000008 签名无效"},
        {0x00000010, u"0x00000010 用途不符"},
        // The words follow the table order, not the order of the bit values.
        {0x00010021, u"0x00010021 根证书不受信任 路径不完整 有效期异常"},
        {0x0401003D, u"0x0401003D 根证书不受信任 路径不完整 有效期异常 已吊销 被明确禁止信任 签名无效 用途不符"},
        // Bits without words show only in the number.
        {0x00000002, u"0x00000002"},
        {0x01000102, u"0x01000102"},
        {0x40000020, u"0x40000020 根证书不受信任"},
    };
    for (const auto& [bits, text] : cases) EXPECT_EQ(trustStatusText(bits), text) << bits;
}

TEST(CleanCommonName, KeepsPlainCharactersAndMarksTheRest) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"*.vesk-cdn_01.example (Test)", u"*.vesk-cdn_01.example (Test)"},
        {u"O'Brien, Café", u"O?Brien? Caf?"},
        {u"更新服务器 一丁龥", u"更新服务器 一丁龥"},
        {u"\u4DFF\u4E00\u9FFF\uA000", u"?\u4E00\u9FFF?"},
        {u"（全角）：", u"?全角??"},
        {u"a\U0001F600b", u"a??b"},  // each half of a surrogate pair is judged alone
        {u"é", u"?"},
        {u"", u"（无通用名称）"},
        {std::u16string(u"ab\0cd", 5), u"ab"},  // the name ends at its first zero unit
        {std::u16string(u"\0ab", 3), u"（无通用名称）"},
    };
    for (const auto& [raw, cleaned] : cases) {
        SCOPED_TRACE(toUtf8(raw));
        EXPECT_EQ(cleanCommonName(raw), cleaned);
    }
}

TEST(CleanCommonName, CutsAfter120Units) {
    EXPECT_EQ(cleanCommonName(std::u16string(150, u'x')), std::u16string(120, u'x'));
    // The cut counts written units, so a replaced unit counts like a kept one.
    EXPECT_EQ(cleanCommonName(std::u16string(119, u'x') + u"éé"), std::u16string(119, u'x') + u"?");
    // A name in a full 256-unit buffer without a terminating zero stops at the buffer's end.
    EXPECT_EQ(cleanCommonName(std::u16string(256, u'y')), std::u16string(120, u'y'));
}

TEST(WriteChainBlock, WritesHeadingPathAndLayers) {
    const std::vector<unsigned char> abc = {'a', 'b', 'c'};
    ChainDescription chain{0x00010020, 0x800B010F, {}};
    chain.paths.push_back(
        {0x00010020,
         {{u"update.vesk.example", u"Vesk CA", 0x00000001, abc}, {u"Vesk CA", u"（无通用名称）", 0x00010020, {}}}});
    EXPECT_EQ(writeChainBlock(chain),
              std::u16string(heading) +
                  u"\r\n"
                  u"路径总体状态=0x00010020 根证书不受信任 路径不完整；主机名和服务器证书策略=0x800B010F\r\n"
                  u"路径 1：0x00010020 根证书不受信任 路径不完整\r\n"
                  u"  第1层 update.vesk.example；颁发者=Vesk CA；状态=0x00000001 有效期异常；"
                  u"SHA-256=BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD\r\n"
                  u"  第2层 Vesk CA；颁发者=（无通用名称）；状态=0x00010020 根证书不受信任 路径不完整；SHA-256=" +
                  emptyDigest + u"\r\n");
}

TEST(WriteChainBlock, TrustedChainReadsNormal) {
    const ChainDescription chain{0, 0, {pathOfLayers(1)}};
    const auto lines = linesOf(writeChainBlock(chain));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], u"路径总体状态=正常；主机名和服务器证书策略=0x00000000");
    EXPECT_EQ(lines[2], u"路径 1：正常");
    EXPECT_EQ(lines[3], layerLine(1, u"L1"));
}

TEST(WriteChainBlock, ShowsSixteenLayersOfAPath) {
    struct Case {
        std::size_t layers;
        std::size_t shown;
        bool omitted;
    };
    for (const Case c : {Case{16, 16, false}, Case{17, 16, true}, Case{40, 16, true}}) {
        SCOPED_TRACE(c.layers);
        const auto lines = linesOf(writeChainBlock({0, 0, {pathOfLayers(c.layers)}}));
        ASSERT_EQ(lines.size(), 3 + c.shown + (c.omitted ? 1 : 0));
        EXPECT_EQ(lines[3 + c.shown - 1], layerLine(c.shown, numbered(u"L", c.shown)));
        if (c.omitted) {
            EXPECT_EQ(lines.back(), u"  其余层已省略");
        }
    }
}

TEST(WriteChainBlock, ShowsFourPathsNumberingLayersAfreshInEach) {
    ChainDescription chain{0, 0, {}};
    for (std::size_t i = 1; i <= 5; ++i) chain.paths.push_back(pathOfLayers(i));
    const auto lines = linesOf(writeChainBlock(chain));
    // Two heading lines, then each path line with its own layers; the fifth path is left out
    // without a note.
    ASSERT_EQ(lines.size(), 2u + (1 + 1) + (1 + 2) + (1 + 3) + (1 + 4));
    EXPECT_EQ(lines[2], u"路径 1：正常");
    EXPECT_EQ(lines[3], layerLine(1, u"L1"));
    EXPECT_EQ(lines[4], u"路径 2：正常");
    EXPECT_EQ(lines[5], layerLine(1, u"L1"));
    EXPECT_EQ(lines[11], u"路径 4：正常");
    EXPECT_EQ(lines.back(), layerLine(4, u"L4"));
}

TEST(WriteChainBlock, ChainWithoutPathsHasOnlyTheHeading) {
    const auto lines = linesOf(writeChainBlock({0x00000100, 0x800B010B, {}}));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], heading);
    EXPECT_EQ(lines[1], u"路径总体状态=0x00000100；主机名和服务器证书策略=0x800B010B");
}
