#include <gtest/gtest.h>

#include "check/environment.h"
#include "utf8_text.h"

using namespace veskcheck;

TEST(OperatingSystemDescription, NamesVersionServicePackArchitectureAndBuild) {
    struct Case {
        OsVersionFacts facts;
        std::u16string description;
    };
    const Case cases[] = {
        {{6, 1, 7601, 1, 0, true}, u"Windows 7 SP1 / x86 / 构建 7601"},
        {{6, 1, 7600, 0, 9, true}, u"Windows 7 / x64 / 构建 7600"},
        {{6, 2, 9200, 0, 9, true}, u"Windows 8 / x64 / 构建 9200"},
        {{6, 3, 9600, 0, 0, true}, u"Windows 8.1 / x86 / 构建 9600"},
        {{10, 0, 19045, 0, 9, true}, u"Windows 10 / x64 / 构建 19045"},
        {{10, 0, 21999, 0, 9, true}, u"Windows 10 / x64 / 构建 21999"},
        {{10, 0, 22000, 0, 9, true}, u"Windows 11 / x64 / 构建 22000"},
        {{10, 0, 26100, 0, 12, true}, u"Windows 11 / 其他架构（尚未验收） / 构建 26100"},
        {{10, 0, 22631, 0, 5, true}, u"Windows 11 / 其他架构（尚未验收） / 构建 22631"},
        {{6, 0, 6002, 2, 0, true}, u"Windows（未验证版本） SP2 / x86 / 构建 6002"},
        {{6, 4, 9841, 0, 9, true}, u"Windows（未验证版本） / x64 / 构建 9841"},
        {{5, 1, 2600, 3, 0, true}, u"Windows（未验证版本） SP3 / x86 / 构建 2600"},
        {{10, 0, 19045, 0, 9, false}, u"Windows（版本检测失败，不执行系统修改）"},
        {{}, u"Windows（版本检测失败，不执行系统修改）"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(vesktest::toUtf8(c.description));
        EXPECT_EQ(describeOperatingSystem(c.facts), c.description);
    }
}

TEST(Timestamp, PadsEveryFieldAndMarksLocalOrUtc) {
    const ClockReading reading{2024, 5, 6, 7, 8, 9};
    EXPECT_EQ(formatClockReading(reading, false), u"2024-05-06 07:08:09 UTC");
    EXPECT_EQ(formatClockReading(reading, true), u"2024-05-06 07:08:09（电脑本地时间）");
    EXPECT_EQ(formatClockReading({999, 12, 31, 23, 59, 59}, false), u"0999-12-31 23:59:59 UTC");
}

TEST(Timestamp, ReadsTheCurrentClock) {
    const std::u16string utc = formatTimestamp(false);
    const std::u16string local = formatTimestamp(true);
    EXPECT_EQ(utc.size(), 23u);
    EXPECT_EQ(utc.substr(19), u" UTC");
    EXPECT_EQ(local.size(), 27u);
    EXPECT_EQ(local.substr(19), u"（电脑本地时间）");
    EXPECT_GE(utc.substr(0, 4), u"2024");
}
