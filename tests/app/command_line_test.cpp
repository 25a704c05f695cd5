#include <gtest/gtest.h>

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
        EXPECT_EQ(headlessReportPath(c.arguments), c.reportPath);
    }
}
