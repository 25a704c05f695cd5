#include <gtest/gtest.h>

#include <climits>
#include <new>

#include "check/check_run.h"
#include "check/report_text.h"
#include "fake_check_services.h"
#include "test_data.h"
#include "utf8_text.h"

using namespace veskcheck;
using namespace vesktest;

TEST(ReportText, DiagnosticLinePrintsEveryFieldInItsOwnFormat) {
    FetchOutcome cancelled = failed(FailureCategory::Cancelled, 42);
    cancelled.mode = ConnectionMode::SystemChosen;
    FetchOutcome odd = failed(FailureCategory::Unknown, -1, INT_MIN, u"::1", u"SEC_E_UNTRUSTED_ROOT");
    odd.elapsedMs = UINT64_MAX;
    odd.target = u"清单签名";
    const struct {
        FetchOutcome fetch;
        std::u16string line;
    } cases[] = {
        {fetched(u"203.0.113.7"),
         u"IPv4 直连；对象=清单；curl=0；HTTP=200；耗时=412ms；DNS/TCP/TLS累计毫秒=15/48/196（0表示未记录）；"
         u"对端=203.0.113.7；证书分类=未提供可识别的详细标志\r\n"},
        {cancelled,
         u"自动选择地址直连；对象=清单；curl=42；HTTP=0；耗时=0ms；DNS/TCP/TLS累计毫秒=0/0/0（0表示未记录）；"
         u"对端=；证书分类=未提供可识别的详细标志\r\n"},
        {odd,
         u"IPv4 直连；对象=清单签名；curl=4294967295；HTTP=-2147483648；耗时=18446744073709551615ms；"
         u"DNS/TCP/TLS累计毫秒=0/0/0（0表示未记录）；对端=::1；证书分类=SEC_E_UNTRUSTED_ROOT\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(toUtf8(diagnosticLine(c.fetch)), toUtf8(c.line));
}

TEST(ReportText, FinalClassificationLineKeepsAnEmptyDetail) {
    FetchOutcome verified = fetched(u"::1");
    verified.category = FailureCategory::SignatureInvalid;
    verified.detail = u"清单签名或格式未通过";
    FetchOutcome refused = failed(FailureCategory::ConnectFailed, 7);
    refused.mode = ConnectionMode::SystemChosen;
    EXPECT_EQ(finalClassificationLine(verified), u"IPv4最终分类=14；清单签名或格式未通过\r\n");
    EXPECT_EQ(finalClassificationLine(refused), u"自动地址最终分类=9；\r\n");
}

// A scripted run in which the IPv4-only mode downloads both files from one address; the test
// decides what happens next. Its whole report must equal a golden file, written by hand.
struct GoldenReport : ::testing::Test {
    FakeWorld world;
    CancelFlag cancel{false};

    void SetUp() override {
        world.cancel = &cancel;
        world.answer(ConnectionMode::Ipv4Only, "manifest.json", fetched(u"203.0.113.7"));
        world.answer(ConnectionMode::Ipv4Only, "manifest.json.sig", fetched(u"203.0.113.7"));
    }
    void expectReport(const std::string& goldenFile) {
        const CheckReport report = runCheck(cancel, world.services());
        const std::vector<unsigned char> golden = readTestFile("golden/" + goldenFile);
        EXPECT_EQ(toUtf8(report.reportText), std::string(golden.begin(), golden.end()));
    }
};

// One mode downloads and verifies, the other cannot connect.
TEST_F(GoldenReport, OneModeWorked) {
    FetchOutcome refused = failed(FailureCategory::ConnectFailed, 7);
    refused.elapsedMs = 3;
    refused.dnsMs = 1;
    world.answer(ConnectionMode::SystemChosen, "manifest.json", refused);
    expectReport("report-one-mode-ok.txt");
}

// A run that an exception cuts short keeps its opening block, the component line included, and
// says so once, right before the advice.
TEST_F(GoldenReport, InterruptedRun) {
    world.duringVerify = [] { throw std::bad_alloc(); };
    expectReport("report-interrupted.txt");
}
