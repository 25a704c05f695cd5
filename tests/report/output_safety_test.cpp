// Reports come from the public internet: whatever a report holds must reach the page as text,
// never as markup, and a terminal as plain characters, never as commands.
#include <gtest/gtest.h>

#include <string>

#include "report/report_html.h"

namespace veskreport {
namespace {

TEST(ReportHtml, EscapesMarkupAndReplacesControlCharacters) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain 中文", "plain 中文"},
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"a\"b'c&d", "a&quot;b&#39;c&amp;d"},
        {std::string("x\0y\x1b\x7f", 5), "x\xEF\xBF\xBDy\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& [text, escaped] : cases) EXPECT_EQ(htmlEscaped(text), escaped);
}

TEST(ReportHtml, APageHoldsNoElementAReportPutThere) {
    ReportRecord record;
    record.system = u"<img src=x onerror=alert(1)>";
    record.adviceText = u"</td><script>alert(2)</script>";
    record.classifications = {{Mode::Ipv4Only, 0, u"\"><svg onload=alert(3)>"}};
    record.wineVersion = u"9<b>0</b>";
    ChainPath path{u"0x00000020 根证书不受信任", {{u"leaf", u"<iframe src=//evil>", u"", u""}}, false};
    record.certificateChecks = {{u"1.2.3.4", u"host", u"", u"", {path}, u"", u""}};
    const std::string page = htmlPage({{"<script>.txt", record}});
    for (const char* element : {"<img", "<script", "<iframe", "<b>", "onload=alert", "<svg onload"})
        EXPECT_EQ(page.find(element), std::string::npos) << element;
    EXPECT_NE(page.find("&lt;iframe src=//evil&gt;"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;.txt"), std::string::npos);
    EXPECT_NE(page.find("reports: 1"), std::string::npos);
}

// The line and the summary go to a staff member's terminal: a report cannot send it commands or
// turn its text around.
TEST(ReportOutputs, NothingFromAReportControlsTheTerminal) {
    ReportRecord record;
    record.system = u"\x1b]0;title\x07\x1b[2J\u202Egnp.exe";
    record.classifications = {{Mode::Ipv4Only, 0, u""}};
    const ReadReport report{"r\x1b[31m.txt", record};
    for (const std::string& text : {reportLine(report), summaryText(summarise({report}))}) {
        EXPECT_EQ(text.find('\x1b'), std::string::npos);
        EXPECT_EQ(text.find('\x07'), std::string::npos);
        EXPECT_EQ(text.find("\xE2\x80\xAE"), std::string::npos);
    }
    EXPECT_EQ(terminalSafe("a\tb \xE2\x81\xA6"
                           "c 中"),
              "a\xEF\xBF\xBD"
              "b \xEF\xBF\xBD"
              "c 中");
}

}  // namespace
}  // namespace veskreport
