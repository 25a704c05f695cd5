#pragma once

#include <string>
#include <vector>

#include "check/report_text.h"
#include "net/advice.h"
#include "report_file_bytes.h"

namespace vesktest {

// A whole report file as the program writes it, with `system` on its system line: one IPv4 fetch
// that worked.
inline std::vector<unsigned char> sampleReportBytes(const std::u16string& system = u"Windows 10 / x64 / 构建 19045") {
    using namespace veskcheck;
    FetchOutcome fetch;
    fetch.mode = ConnectionMode::Ipv4Only;
    fetch.target = u"清单";
    fetch.category = FailureCategory::Ok;
    fetch.httpStatus = 200;
    fetch.peerIp = u"203.0.113.7";
    const std::vector<FetchOutcome> attempts = {fetch};
    const std::u16string text =
        headerLine() + timeLines(u"2026-12-10 23:00:05 UTC", u"2026-12-11 07:00:05（电脑本地时间）") +
        systemLine(system) + scopeBlock(u"update.vesk.example") + componentLine("8.21.0", "OpenSSL") +
        adviceSection(selectAdvice(attempts)) + diagnosticLine(fetch) + certificateHeading() + noAddressLine() +
        finalClassificationLine(fetch) + footer();
    return reportFileBytes(text);
}

}  // namespace vesktest
