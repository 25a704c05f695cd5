#pragma once

// The scripted results of the window's test build, known to both the build and the driver.
#include <string>
#include <string_view>

#include "check/check_report.h"

namespace vesktest {

struct FakeScenario {
    std::string_view name;
    bool throws;  // the run ends with an exception instead of a report
    std::u16string_view advice;
    bool withReport;  // the report text is fakeReportText(); otherwise empty
    bool showTimeSettings;
    // From just before the run returns, another thread holds the system's loader lock this long,
    // as a resolver thread of libcurl starting or ending, or a library being loaded, can.
    int loaderBusyMs = 0;
};

inline constexpr FakeScenario fakeScenarios[] = {
    {"ok", false, u"脚本检测：连接正常。\r\n\r\n请关闭更新器后重新打开，再试一次。", true, false},
    {"clock", false, u"脚本检测：证书有效期检查未通过。\r\n\r\n请核对电脑的日期和时间。", true, true},
    {"no-report", false, u"脚本检测：没有报告。", false, false},
    {"throws", true, u"", false, false},
    {"busy-loader", false, u"脚本检测：连接正常。\r\n\r\n请关闭更新器后重新打开，再试一次。", true, false, 7000},
};

inline const FakeScenario* findFakeScenario(std::string_view name) {
    for (const FakeScenario& scenario : fakeScenarios)
        if (scenario.name == name) return &scenario;
    return nullptr;
}

// A report long enough to need a heap block of its own on the clipboard, with CR LF line breaks,
// full-width punctuation and one character outside the basic plane, so that a copy or a file
// that counts characters instead of UTF-16 units shows.
inline std::u16string fakeReportText() {
    std::u16string text = u"Vesk 更新连接检测报告（脚本）\r\n𝄞 音符占两个 UTF-16 单元。\r\n";
    for (int line = 0; line < 400; ++line) text += u"诊断记录：模式=1；类别=0；耗时=412 毫秒。\r\n";
    return text + u"报告结束。\r\n";
}

inline veskcheck::CheckReport fakeReport(const FakeScenario& scenario) {
    veskcheck::CheckReport report;
    report.advice = scenario.advice;
    if (scenario.withReport) report.reportText = fakeReportText();
    report.showTimeSettings = scenario.showTimeSettings;
    return report;
}

}  // namespace vesktest
