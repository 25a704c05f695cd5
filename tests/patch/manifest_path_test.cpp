#include "patch/manifest_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "patch_expect.h"

namespace veskpatch {
namespace {

using vesktest::expectPatchError;
using vesktest::toUtf8;

constexpr char lengthMessage[] = "清单路径为空或过长。";
constexpr char absoluteMessage[] = "清单路径不得是绝对路径、UNC 路径或 ADS。";
constexpr char segmentMessage[] = "清单路径包含空段、点段或上级目录。";
constexpr char reservedMessage[] = "清单路径包含 Windows 保留名称或尾随点/空格。";
constexpr char illegalMessage[] = "清单路径包含 Windows 非法字符。";

struct PathCase {
    std::u16string raw;
    std::u16string normalised;  // empty when `error` is set
    const char* error;
};

void expectCases(const std::vector<PathCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.raw));
        if (c.error) expectPatchError([&] { normalizeManifestPath(c.raw); }, c.error);
        else EXPECT_EQ(normalizeManifestPath(c.raw), c.normalised);
    }
}

std::u16string repeated(char16_t unit, std::size_t count) { return std::u16string(count, unit); }

TEST(ManifestPath, AcceptsRelativePathsAndTurnsSeparatorsIntoBackslashes) {
    expectCases({
        {u"data/ui/a.pak", u"data\\ui\\a.pak", nullptr},
        {u"data\\ui\\a.pak", u"data\\ui\\a.pak", nullptr},
        {u"data/ui\\a.pak", u"data\\ui\\a.pak", nullptr},
        {u"Vesk.exe", u"Vesk.exe", nullptr},
        {u"a#b/a%20b/a b", u"a#b\\a%20b\\a b", nullptr},
        {u"数据/ä.txt", u"数据\\ä.txt", nullptr},
        {u"x/.vesk-update", u"x\\.vesk-update", nullptr},
        {u".hidden/..a/a..b", u".hidden\\..a\\a..b", nullptr},
    });
}

TEST(ManifestPath, LengthIsCheckedFirstAndCountsUtf16Units) {
    const std::u16string longest = repeated(u'a', 1020) + u"/b.c";
    expectCases({
        {longest, repeated(u'a', 1020) + u"\\b.c", nullptr},
        {u"", u"", lengthMessage},
        {longest + u"d", u"", lengthMessage},
        // Over the limit and absolute, empty-segmented and illegal at once: the length wins.
        {u"/" + repeated(u'*', 1023) + u"//", u"", lengthMessage},
    });
    // A character beyond U+FFFF takes two units.
    const std::u16string pair = u"\U0001F600";
    EXPECT_EQ(normalizeManifestPath(repeated(u'a', 1022) + pair).size(), 1024u);
    expectPatchError([&] { normalizeManifestPath(repeated(u'a', 1023) + pair); }, lengthMessage);
}

TEST(ManifestPath, RefusesRootedUncDriveAndStreamPaths) {
    expectCases({
        {u"/a", u"", absoluteMessage},
        {u"\\a", u"", absoluteMessage},
        {u"\\\\server\\share\\a", u"", absoluteMessage},
        {u"//server/share/a", u"", absoluteMessage},
        {u"C:a", u"", absoluteMessage},
        {u"C:/a", u"", absoluteMessage},
        {u"a:b", u"", absoluteMessage},
        {u"file.txt:stream", u"", absoluteMessage},
        {u"a/b:$DATA", u"", absoluteMessage},
        // The colon is looked for before any segment, so it beats an earlier bad segment.
        {u"a//CON/b:c", u"", absoluteMessage},
    });
}

TEST(ManifestPath, RefusesEmptyAndDotSegments) {
    expectCases({
        {u"a//b", u"", segmentMessage},
        {u"a/", u"", segmentMessage},
        {u"a\\", u"", segmentMessage},
        {u"./a", u"", segmentMessage},
        {u".", u"", segmentMessage},
        {u"..", u"", segmentMessage},
        {u"a/./b", u"", segmentMessage},
        {u"a/../b", u"", segmentMessage},
        {u"a\\..\\..\\b", u"", segmentMessage},
        {u"a/\\b", u"", segmentMessage},
    });
}

TEST(ManifestPath, RefusesTrailingDotsSpacesAndDeviceNames) {
    expectCases({
        {u"...", u"", reservedMessage},
        {u"a.", u"", reservedMessage},
        {u"a/b.", u"", reservedMessage},
        {u"dir /x", u"", reservedMessage},
        {u"a ", u"", reservedMessage},
        {u"CON", u"", reservedMessage},
        {u"con.txt", u"", reservedMessage},
        {u"Aux.tar.gz", u"", reservedMessage},
        {u"sub/LPT1.dll", u"", reservedMessage},
        {u"com9", u"", reservedMessage},
        {u"nul/a", u"", reservedMessage},
        {u"CONSOLE", u"CONSOLE", nullptr},
        {u"COM10", u"COM10", nullptr},
        {u"LPT0.txt", u"LPT0.txt", nullptr},
        {u"CON_x", u"CON_x", nullptr},
        {u"a.CON", u"a.CON", nullptr},
        {u" CON.txt", u" CON.txt", nullptr},
    });
}

// The updater takes the stem exactly as written and only the digits 1 to 9 as port numbers; the
// tool must reach the same verdict, so these names pass.
TEST(ManifestPath, JudgesDeviceStemsAsTheUpdaterDoes) {
    expectCases({
        {u"CON .txt", u"CON .txt", nullptr},
        {u"nul   .dat", u"nul   .dat", nullptr},
        {u"COM\u00B9", u"COM\u00B9", nullptr},
        {u"COM\uFF11", u"COM\uFF11", nullptr},
    });
}

TEST(ManifestPath, RefusesIllegalUnits) {
    expectCases({
        {u"a?b", u"", illegalMessage},
        {u"a*", u"", illegalMessage},
        {u"a<b", u"", illegalMessage},
        {u"a>b", u"", illegalMessage},
        {u"a|b", u"", illegalMessage},
        {u"a\"b", u"", illegalMessage},
        {u"a\tb", u"", illegalMessage},
        {std::u16string(u"a\0b", 3), u"", illegalMessage},
        {u"ok/a\x1F", u"", illegalMessage},
        {u"a\x7F", u"a\x7F", nullptr},
    });
}

TEST(ManifestPath, SegmentRulesApplyInOrderWithinAndAcrossSegments) {
    expectCases({
        // Within a segment: trailing dot or space before device name before illegal unit.
        {u"CON*.", u"", reservedMessage},
        {u"CON.*", u"", reservedMessage},
        // Across segments the first bad segment decides.
        {u"a*/b/", u"", illegalMessage},
        {u"a/CON/*", u"", reservedMessage},
        {u"a*/../b", u"", illegalMessage},
    });
}

TEST(ManifestPath, ReservedDeviceNameLooksOnlyAtTheStem) {
    struct Case {
        std::u16string segment;
        bool reserved;
    };
    const Case cases[] = {
        {u"PRN", true},  {u"prn.x.y", true}, {u"LpT9", true},  {u"CON .txt", false}, {u"COM0", false}, {u"COM", false},
        {u"LPT", false}, {u"COMA", false},   {u"CONX", false}, {u"", false},         {u".CON", false}, {u"CO N", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.segment));
        EXPECT_EQ(isReservedDeviceName(c.segment), c.reserved);
    }
}

TEST(ManifestPath, CompareKeyFoldsAsciiLettersOnly) {
    EXPECT_EQ(pathCompareKey(normalizeManifestPath(u"data/ui/a.pak")), u"DATA\\UI\\A.PAK");
    EXPECT_EQ(pathCompareKey(u"data\\ui\\a.pak"), pathCompareKey(normalizeManifestPath(u"data/ui/a.pak")));
    EXPECT_EQ(pathCompareKey(u"Vesk.exe"), pathCompareKey(u"VESK.EXE"));
    EXPECT_NE(pathCompareKey(u"ä.txt"), pathCompareKey(u"Ä.txt"));
    EXPECT_EQ(pathCompareKey(u"é_az{`@[0"), u"é_AZ{`@[0");
}

// The duplicate test compares and hashes paths without building their keys; it must agree with
// the keys, including for the characters next to the letters.
TEST(ManifestPath, SameTargetAndItsHashAgreeWithTheCompareKey) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"DATA\\UI\\A.PAK", u"data\\ui\\a.pak"},
        {u"Vesk.exe", u"VESK.EXE"},
        {u"é_az{`@[0", u"é_AZ{`@[0"},
        {u"ä.txt", u"Ä.txt"},
        {u"a", u"a "},
        {u"{", u"["},
        {u"`", u"@"},
        {u"", u""},
    };
    for (const auto& [a, b] : cases) {
        SCOPED_TRACE(toUtf8(a) + " / " + toUtf8(b));
        const bool same = pathCompareKey(a) == pathCompareKey(b);
        EXPECT_EQ(isSameTarget(a, b), same);
        if (same) {
            EXPECT_EQ(targetHash(a), targetHash(b));
        }
    }
}

}  // namespace
}  // namespace veskpatch
