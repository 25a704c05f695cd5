#include "patch/utf8_decode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "patch_expect.h"

namespace {

using veskpatch::decodeUtf8Strict;
using vesktest::expectPatchError;

constexpr char invalidUtf8[] = "JSON 不是有效的 UTF-8。";

struct Utf8Case {
    const char* name;
    std::vector<unsigned char> bytes;
    std::u16string text;  // the decoded text, unless error is set
    const char* error;
};

// One table for both builds: the Windows conversion and the portable decoder must agree on it.
TEST(Utf8Decode, AcceptsWellFormedAndRefusesIllFormedSequences) {
    const Utf8Case cases[] = {
        {"empty", {}, u"", nullptr},
        {"ascii", {'a', 'b'}, u"ab", nullptr},
        {"zero byte", {'a', 0x00, 'b'}, std::u16string(u"a\0b", 3), nullptr},
        {"U+007F", {0x7F}, u"\u007F", nullptr},
        {"U+0080", {0xC2, 0x80}, u"\u0080", nullptr},
        {"U+07FF", {0xDF, 0xBF}, u"\u07FF", nullptr},
        {"U+0800", {0xE0, 0xA0, 0x80}, u"\u0800", nullptr},
        {"U+D7FF below the surrogates", {0xED, 0x9F, 0xBF}, u"\uD7FF", nullptr},
        {"U+E000 above the surrogates", {0xEE, 0x80, 0x80}, u"\uE000", nullptr},
        {"U+FEFF is text to the decoder", {0xEF, 0xBB, 0xBF}, u"\uFEFF", nullptr},
        {"U+FFFF", {0xEF, 0xBF, 0xBF}, u"\uFFFF", nullptr},
        {"U+10000", {0xF0, 0x90, 0x80, 0x80}, u"\U00010000", nullptr},
        {"U+1F600 as a surrogate pair", {0xF0, 0x9F, 0x98, 0x80}, u"\xD83D\xDE00", nullptr},
        {"U+10FFFF", {0xF4, 0x8F, 0xBF, 0xBF}, u"\U0010FFFF", nullptr},
        {"mixed lengths",
         {'x', 0xE4, 0xB8, 0xAD, 0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80, 'y'},
         u"x中é\U0001F600y",
         nullptr},
        {"characters between long ASCII runs",
         {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 0xC3, 0xA9, 'j', 'k', 'l', 'm', 'n', 'o', 'p', 'q', 'r'},
         u"abcdefghiéjklmnopqr",
         nullptr},

        {"overlong U+0000 in two bytes", {0xC0, 0x80}, u"", invalidUtf8},
        {"overlong U+007F in two bytes", {0xC1, 0xBF}, u"", invalidUtf8},
        {"overlong U+0000 in three bytes", {0xE0, 0x80, 0x80}, u"", invalidUtf8},
        {"overlong U+07FF in three bytes", {0xE0, 0x9F, 0xBF}, u"", invalidUtf8},
        {"overlong U+0000 in four bytes", {0xF0, 0x80, 0x80, 0x80}, u"", invalidUtf8},
        {"overlong U+FFFF in four bytes", {0xF0, 0x8F, 0xBF, 0xBF}, u"", invalidUtf8},
        {"encoded U+D800", {0xED, 0xA0, 0x80}, u"", invalidUtf8},
        {"encoded U+DFFF", {0xED, 0xBF, 0xBF}, u"", invalidUtf8},
        {"encoded surrogate pair", {0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}, u"", invalidUtf8},
        {"U+110000", {0xF4, 0x90, 0x80, 0x80}, u"", invalidUtf8},
        {"lead F5", {0xF5, 0x80, 0x80, 0x80}, u"", invalidUtf8},
        {"five-byte form", {0xF8, 0x88, 0x80, 0x80, 0x80}, u"", invalidUtf8},
        {"six-byte form", {0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}, u"", invalidUtf8},
        {"byte FE", {0xFE}, u"", invalidUtf8},
        {"byte FF", {0xFF}, u"", invalidUtf8},
        {"two-byte sequence cut at the end", {'a', 0xC2}, u"", invalidUtf8},
        {"three-byte sequence cut at the end", {'a', 0xE4, 0xB8}, u"", invalidUtf8},
        {"four-byte sequence cut at the end", {'a', 0xF0, 0x9F, 0x98}, u"", invalidUtf8},
        {"two-byte sequence cut in the middle", {0xC2, 'a'}, u"", invalidUtf8},
        {"three-byte sequence cut in the middle", {0xE4, 0xB8, 'a', 'b'}, u"", invalidUtf8},
        {"four-byte sequence cut in the middle", {0xF0, 0x9F, 0x98, 'a', 'b'}, u"", invalidUtf8},
        {"lead byte after a lead byte", {0xE4, 0xE4, 0xB8, 0xAD}, u"", invalidUtf8},
        {"stray continuation byte", {0x80}, u"", invalidUtf8},
        {"stray continuation byte between letters", {'a', 0xBF, 'b'}, u"", invalidUtf8},
        {"continuation byte after a whole character", {0xC3, 0xA9, 0xA9}, u"", invalidUtf8},
        {"byte FF after a long ASCII run", {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 0xFF}, u"", invalidUtf8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.error) expectPatchError([&] { decodeUtf8Strict(c.bytes); }, c.error);
        else EXPECT_EQ(decodeUtf8Strict(c.bytes), c.text);
    }
}

}  // namespace
