#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "utf8_text.h"

using veskcheck::headlessReportPath;

TEST(CommandLine, HeadlessOnlyWithExactlyReportAndOnePath) {
    using Arguments = std::vector<std::u16string>;
    const struct {
        Arguments arguments;
        std::optional<std::u16string> reportPath;  // none: the window opens
    } cases[] = {
        {{u"vesk-check.exe", u"--report", u"C:\\报告.txt"}, u"C:\\报告.txt"},
        {{u"vesk-check.exe", u"--report", u""}, u""},
        {{u"vesk-check.exe", u"--report"}, std::nullopt},
        {{u"vesk-check.exe", u"--report", u"a.txt", u"b.txt"}, std::nullopt},
        {{u"vesk-check.exe", u"--Report", u"a.txt"}, std::nullopt},
        {{u"vesk-check.exe", u"--report=a.txt"}, std::nullopt},
        {{u"vesk-check.exe", u"-report", u"a.txt"}, std::nullopt},
        {{u"vesk-check.exe", u"/report", u"a.txt"}, std::nullopt},
        {{u"vesk-check.exe"}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.size() > 1 ? vesktest::toUtf8(c.arguments[1]) : "");
        EXPECT_EQ(headlessReportPath<std::u16string>(c.arguments), c.reportPath);
    }
}

// Arguments as bytes, as the development host gets them: one that is not UTF-8 is an argument
// like any other, and a path is kept as the bytes given.
TEST(CommandLine, ChoosesOnBytesAndKeepsThePathAsGiven) {
    using Arguments = std::vector<std::string>;
    const struct {
        Arguments arguments;
        std::optional<std::string> reportPath;
    } cases[] = {
        {{"vesk-check", "--report", "/tmp/\xff\xfe.txt"}, "/tmp/\xff\xfe.txt"},
        {{"vesk-check", "--foo", "\xff", "a", "b"}, std::nullopt},
        {{"vesk-check", "--foo", "x", "a", "b"}, std::nullopt},
        {{"vesk-check", "--report\xff", "a.txt"}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(headlessReportPath<std::string>(c.arguments), c.reportPath);
}
