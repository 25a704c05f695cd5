// Reports come from the public internet: whatever a report holds must reach the page as text,
// never as markup, and a terminal as plain characters, never as commands.
#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "common/utf8_encode.h"
#include "report/control_characters.h"
#include "report/report_html.h"

namespace veskreport {
namespace {

constexpr char replacement[] = "\xEF\xBF\xBD";

Summary summaryOf(const ReportRecord& record) {
    Summariser summariser;
    summariser.add(record);
    return summariser.summary();
}

TEST(ReportHtml, EscapesMarkupAndReplacesControlCharacters) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain 中文", "plain 中文"},
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"a\"b'c&d", "a&quot;b&#39;c&amp;d"},
        {std::string("x\0y\x1b\x7f", 5), "x\xEF\xBF\xBDy\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xC2\x9B\xE2\x80\x8F<", "\xEF\xBF\xBD\xEF\xBF\xBD&lt;"},
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
    const std::string page = htmlPage(summaryOf(record), reportRow({"<script>.txt", record}));
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
    record.system = u"\x1b]0;title\x07\x1b[2J\u202Egnp.exe\u009B31m\u200F";
    record.classifications = {{Mode::Ipv4Only, 0, u""}};
    const ReadReport report{"r\x1b[31m.txt", record};
    for (const std::string& text : {reportLine(report), summaryText(summaryOf(record))}) {
        for (const char* control : {"\x1b", "\x07", "\xE2\x80\xAE", "\xC2\x9B", "\xE2\x80\x8F"})
            EXPECT_EQ(text.find(control), std::string::npos) << text;
    }
}

struct ControlCase {
    const char* what;
    char16_t character;
    const char* jsonEscape;  // how --json writes it
};

// Every kind of character a terminal acts on or that reorders text on screen.
const ControlCase controlCases[] = {
    {"ESC", u'\x1b', "\\u001b"},          {"BEL", u'\x07', "\\u0007"},          {"DEL", u'\x7f', "\\u007f"},
    {"U+0080", u'\u0080', "\\u0080"},     {"CSI U+009B", u'\u009B', "\\u009b"}, {"ST U+009C", u'\u009C', "\\u009c"},
    {"OSC U+009D", u'\u009D', "\\u009d"}, {"U+009F", u'\u009F', "\\u009f"},     {"ALM U+061C", u'\u061C', "\\u061c"},
    {"LRM U+200E", u'\u200E', "\\u200e"}, {"RLM U+200F", u'\u200F', "\\u200f"}, {"LRE U+202A", u'\u202A', "\\u202a"},
    {"RLO U+202E", u'\u202E', "\\u202e"}, {"LRI U+2066", u'\u2066', "\\u2066"}, {"PDI U+2069", u'\u2069', "\\u2069"},
};

std::string utf8Of(char16_t character) { return veskcheck::utf8FromUtf16(std::u16string(1, character)); }

TEST(ReportOutputs, TerminalTextReplacesEveryControlCharacter) {
    for (const auto& c : controlCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(terminalSafe("a" + utf8Of(c.character) + "b"), std::string("a") + replacement + "b");
    }
    // A byte that is not UTF-8 is no character: an 8-bit terminal takes a bare 9B for CSI.
    EXPECT_EQ(terminalSafe("a\x9B"
                           "b\xC2"),
              std::string("a") + replacement + "b" + replacement);
    // Printable text around them stays as it is, from one byte to four.
    const std::string printable = "中 \xC2\xA0 \xC2\xA9 \xE2\x80\x8D \xE2\x80\x90 \xF0\x9F\x98\x80 \xEF\xBF\xBD";
    EXPECT_EQ(terminalSafe(printable), printable);
}

TEST(ReportOutputs, JsonEscapesEveryControlCharacterAndStaysValid) {
    for (const auto& c : controlCases) {
        SCOPED_TRACE(c.what);
        ReportRecord record;
        record.system = u"a" + std::u16string(1, c.character) + u"b";
        record.host = u"中";
        const std::string json = reportJson({"r.txt", record});
        EXPECT_EQ(json.find(utf8Of(c.character)), std::string::npos) << json;
        EXPECT_NE(json.find(std::string("\"a") + c.jsonEscape + "b\""), std::string::npos) << json;
        const auto parsed = nlohmann::json::parse(json);
        EXPECT_EQ(parsed["system"], "a" + utf8Of(c.character) + "b");
        EXPECT_EQ(parsed["host"], "中");
    }
}

}  // namespace
}  // namespace veskreport
