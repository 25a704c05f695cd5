#include <gtest/gtest.h>

#include <string>

#include "patch/digest.h"
#include "patch_expect.h"

using namespace veskpatch;
using vesktest::bytesOf;
using vesktest::expectPatchError;

TEST(Sha256Digest, MatchesKnownVectors) {
    EXPECT_EQ(sha256ToHex(sha256Digest({})), u"E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
    EXPECT_EQ(sha256ToHex(sha256Digest(bytesOf("abc"))),
              u"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    const std::string million(1000000, 'a');
    EXPECT_EQ(sha256ToHex(sha256Digest(bytesOf(million))),
              u"CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0");
}

TEST(Sha256Hex, WritesTwoUpperCaseDigitsPerByte) {
    Sha256 digest{};
    digest[0] = 10;
    digest[31] = 0xAB;
    const std::u16string text = sha256ToHex(digest);
    EXPECT_EQ(text.size(), 64u);
    EXPECT_EQ(text.substr(0, 2), u"0A");
    EXPECT_EQ(text.substr(62), u"AB");
}

TEST(Sha256Hex, ReadsMixedCaseAndRoundTripsToUpperCase) {
    const std::u16string mixed = u"e3B0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852B855";
    const Sha256 digest = sha256FromHex(mixed);
    EXPECT_EQ(digest, sha256Digest({}));
    EXPECT_EQ(sha256ToHex(digest), u"E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
}

TEST(Sha256Hex, RefusesWrongLengthBeforeLookingAtCharacters) {
    const char* length = "SHA-256 文本长度必须是 64。";
    const char* nonHex = "SHA-256 包含非十六进制字符。";
    const std::u16string valid(64, u'a');
    std::u16string gAt10 = valid;
    gAt10[10] = u'G';
    std::u16string fullWidth = valid;
    fullWidth[0] = u'０';
    std::u16string prefixed = valid;
    prefixed.replace(0, 2, u"0x");
    std::u16string space = valid;
    space[63] = u' ';
    const struct {
        std::u16string text;
        const char* error;
    } cases[] = {
        {std::u16string(63, u'a'), length},
        {std::u16string(65, u'a'), length},
        {std::u16string(63, u'z'), length},
        {std::u16string(65, u'z'), length},
        {u"", length},
        {gAt10, nonHex},
        {fullWidth, nonHex},
        {prefixed, nonHex},
        {space, nonHex},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(vesktest::toUtf8(c.text));
        expectPatchError([&] { sha256FromHex(c.text); }, c.error);
    }
}
