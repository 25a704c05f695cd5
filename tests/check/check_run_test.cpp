#include <gtest/gtest.h>

#include "check/check_run.h"
#include "fake_check_services.h"
#include "patch/patch_error.h"
#include "utf8_text.h"

using namespace veskcheck;
using namespace vesktest;

namespace {

constexpr char16_t incompleteAdvice[] = u"检测未完成，请关闭工具后重新运行。仍失败请在官网提交检测报告。";
constexpr char16_t internalError[] = u"检测工具内部错误；结果可能不完整。\r\n";
constexpr char16_t cancelledWalk[] = u"证书路径检查已取消。\r\n";
constexpr char16_t noAddress[] = u"未取得可检查的连接地址。\r\n";

std::size_t occurrences(const std::u16string& text, std::u16string_view piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::u16string::npos; at = text.find(piece, at + 1)) ++count;
    return count;
}

struct CheckRun : ::testing::Test {
    FakeWorld world;
    CancelFlag cancel{false};

    CheckReport run() {
        world.cancel = &cancel;
        return runCheck(cancel, world.services());
    }
    void bothModesOk(std::u16string ipv4Peer, std::u16string systemPeer) {
        world.answer(ConnectionMode::Ipv4Only, "manifest.json", fetched(ipv4Peer));
        world.answer(ConnectionMode::Ipv4Only, "manifest.json.sig", fetched(ipv4Peer));
        world.answer(ConnectionMode::SystemChosen, "manifest.json", fetched(systemPeer));
        world.answer(ConnectionMode::SystemChosen, "manifest.json.sig", fetched(systemPeer));
    }
};

}  // namespace

TEST_F(CheckRun, CancelledBeforeTheStartFetchesNothing) {
    cancel = true;
    const CheckReport report = run();
    EXPECT_TRUE(world.fetchCalls.empty());
    EXPECT_TRUE(report.attempts.empty());
    EXPECT_EQ(report.advice, incompleteAdvice);
    EXPECT_FALSE(report.showTimeSettings);
    EXPECT_NE(report.reportText.find(u"下载组件：8.23.0 / Schannel\r\n\r\n给玩家的建议：\r\n"), std::u16string::npos);
    EXPECT_NE(report.reportText.find(u"原请求结果见上。\r\n" + std::u16string(noAddress) + u"\r\n本工具不修改"),
              std::u16string::npos);
    EXPECT_EQ(occurrences(report.reportText, cancelledWalk), 0u);
    EXPECT_EQ(occurrences(report.reportText, u"最终分类="), 0u);
    EXPECT_EQ(world.libcurlStops, 1);
}

TEST_F(CheckRun, NamesWineRightAfterTheSystemLineOnlyWhenItRunsUnderWine) {
    bothModesOk(u"127.0.0.1", u"127.0.0.1");
    EXPECT_EQ(run().reportText.find(u"兼容层"), std::u16string::npos);
    world.wineVersion = u"9.0";
    EXPECT_NE(run().reportText.find(u"系统：Windows 10 / x64 / 构建 19045\r\n兼容层：Wine 9.0\r\n目标：https://"),
              std::u16string::npos);
}

TEST_F(CheckRun, CancelDuringTheFirstManifestFetchEndsTheRunAfterIt) {
    world.answer(ConnectionMode::Ipv4Only, "manifest.json", failed(FailureCategory::Cancelled, 42, 0, u"127.0.0.1"),
                 [](CancelFlag& c) { c = true; });
    const CheckReport report = run();
    EXPECT_EQ(world.fetchCalls, (std::vector<std::string>{"ipv4 manifest.json"}));
    ASSERT_EQ(report.attempts.size(), 1u);
    EXPECT_EQ(report.advice, incompleteAdvice);
    EXPECT_NE(report.reportText.find(u"；curl=42；"), std::u16string::npos);
    EXPECT_NE(report.reportText.find(std::u16string(cancelledWalk) + noAddress), std::u16string::npos);
    EXPECT_TRUE(world.probeCalls.empty());
    EXPECT_EQ(occurrences(report.reportText, u"最终分类="), 1u);
}

TEST_F(CheckRun, CancelDuringTheSecondModeKeepsBothSummaries) {
    world.answer(ConnectionMode::Ipv4Only, "manifest.json", fetched(u"127.0.0.1"));
    world.answer(ConnectionMode::Ipv4Only, "manifest.json.sig", fetched(u"127.0.0.1"));
    world.answer(ConnectionMode::SystemChosen, "manifest.json", failed(FailureCategory::Cancelled, 42, 0, u"::1"),
                 [](CancelFlag& c) { c = true; });
    const CheckReport report = run();
    ASSERT_EQ(report.attempts.size(), 2u);
    EXPECT_EQ(report.attempts[1].category, FailureCategory::Cancelled);
    EXPECT_EQ(report.advice, u"检测未完成或已取消，请重新检测。需要进一步协助时，请在官网提交检测报告。");
    EXPECT_FALSE(report.showTimeSettings);
    // The walk stops at its first entry: the cancel was already set.
    EXPECT_TRUE(world.probeCalls.empty());
    EXPECT_NE(report.reportText.find(std::u16string(cancelledWalk) + noAddress), std::u16string::npos);
}

TEST_F(CheckRun, FailedLibcurlStartIsAnInternalErrorWithoutAttempts) {
    world.libcurlStarts = false;
    const CheckReport report = run();
    EXPECT_TRUE(world.fetchCalls.empty());
    EXPECT_EQ(report.advice, incompleteAdvice);
    EXPECT_NE(report.reportText.find(u"自更新通道。\r\n环境："), std::u16string::npos);
    EXPECT_NE(report.reportText.find(u"不能据此认定时钟正确或错误。\r\n" + std::u16string(internalError) +
                                     u"\r\n给玩家的建议："),
              std::u16string::npos);
    EXPECT_EQ(occurrences(report.reportText, u"下载组件："), 0u);
    EXPECT_EQ(occurrences(report.reportText, noAddress), 1u);
    EXPECT_EQ(world.libcurlStops, 0);
}

TEST_F(CheckRun, AnExceptionInTheGuardedPhaseKeepsWhatWasFetched) {
    const struct {
        const char* name;
        std::function<void(FakeWorld&)> arrange;
        std::size_t attempts;
        std::size_t logged;
    } cases[] = {
        {"option refused in the second mode",
         [](FakeWorld& w) {
             w.answer(ConnectionMode::SystemChosen, "manifest.json", {},
                      [](CancelFlag&) { throw std::runtime_error("curl option"); });
         },
         1, 2},
        {"crypto provider failure during verification",
         [](FakeWorld& w) { w.duringVerify = [] { throw veskpatch::PatchError("无法初始化 Windows 加密算法。"); }; }, 0,
         2},
        {"out of memory", [](FakeWorld& w) { w.duringVerify = [] { throw std::bad_alloc(); }; }, 0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        world = FakeWorld{};
        world.answer(ConnectionMode::Ipv4Only, "manifest.json", fetched(u"127.0.0.1"));
        world.answer(ConnectionMode::Ipv4Only, "manifest.json.sig", fetched(u"127.0.0.1"));
        c.arrange(world);
        const CheckReport report = run();
        EXPECT_EQ(report.attempts.size(), c.attempts);
        EXPECT_EQ(occurrences(report.reportText, u"；对象="), c.logged);
        EXPECT_EQ(occurrences(report.reportText, internalError), 1u);
        EXPECT_NE(report.reportText.find(std::u16string(internalError) + u"\r\n给玩家的建议：\r\n" + incompleteAdvice),
                  std::u16string::npos);
        EXPECT_EQ(world.probeCalls, (std::vector<std::u16string>{u"127.0.0.1"}));
        EXPECT_EQ(world.libcurlStops, 1);
    }
}

TEST_F(CheckRun, AnExceptionFromTheProbeLeavesTheRunAndStillReleasesLibcurl) {
    bothModesOk(u"127.0.0.1", u"::1");
    world.duringProbe = [] { throw 7; };
    EXPECT_ANY_THROW(run());
    EXPECT_EQ(world.libcurlStops, 1);
}

TEST_F(CheckRun, ModeWithoutManifestFetchesNoSignatureAndTheOtherModeRunsInFull) {
    world.answer(ConnectionMode::Ipv4Only, "manifest.json", failed(FailureCategory::DnsFailed, 6));
    world.answer(ConnectionMode::SystemChosen, "manifest.json", fetched(u"::1"));
    world.answer(ConnectionMode::SystemChosen, "manifest.json.sig", fetched(u"::1"));
    const CheckReport report = run();
    EXPECT_EQ(world.fetchCalls,
              (std::vector<std::string>{"ipv4 manifest.json", "system manifest.json", "system manifest.json.sig"}));
    EXPECT_NE(report.reportText.find(u"IPv4最终分类=8；\r\n自动地址最终分类=0；清单签名和格式通过\r\n"),
              std::u16string::npos);
    EXPECT_NE(report.advice.find(u"直连：系统自动选择 IPv4/IPv6"), std::u16string::npos);
}

TEST_F(CheckRun, SignatureFailureBecomesTheModeSummary) {
    bothModesOk(u"127.0.0.1", u"127.0.0.1");
    world.answer(ConnectionMode::Ipv4Only, "manifest.json.sig",
                 failed(FailureCategory::HttpStatus, 0, 404, u"127.0.0.1"));
    const CheckReport report = run();
    const FetchOutcome& summary = report.attempts[0];
    EXPECT_EQ(summary.category, FailureCategory::HttpStatus);
    EXPECT_EQ(summary.httpStatus, 404);
    EXPECT_EQ(summary.target, u"清单签名");
    EXPECT_TRUE(summary.detail.empty());
    EXPECT_NE(report.reportText.find(u"IPv4最终分类=11；\r\n"), std::u16string::npos);
    EXPECT_NE(report.reportText.find(u"IPv4 直连；对象=清单签名；curl=0；HTTP=404；"), std::u16string::npos);
}

TEST_F(CheckRun, RejectedSignatureShowsInTheSummaryNotInTheDownloadLines) {
    bothModesOk(u"127.0.0.1", u"127.0.0.1");
    world.verdict = FailureCategory::SignatureInvalid;
    const CheckReport report = run();
    EXPECT_EQ(report.attempts[0].detail, u"清单签名或格式未通过");
    EXPECT_NE(report.reportText.find(u"IPv4最终分类=14；清单签名或格式未通过\r\n"), std::u16string::npos);
    EXPECT_EQ(occurrences(report.reportText, u"；curl=0；HTTP=200；"), 4u);
    for (const FetchOutcome& attempt : report.attempts) EXPECT_TRUE(attempt.body.empty());
}

TEST_F(CheckRun, GivesEachFetchItsCapAndEveryServiceTheRunsOwnFlag) {
    bothModesOk(u"127.0.0.1", u"::1");
    run();
    EXPECT_EQ(world.fetchCaps, (std::vector<std::uint32_t>{16777216, 1024, 16777216, 1024}));
    ASSERT_EQ(world.flagsSeen.size(), 6u);  // four fetches, two probes
    for (const CancelFlag* flag : world.flagsSeen) EXPECT_EQ(flag, &cancel);
}

TEST_F(CheckRun, ProbesEachDistinctAddressOnceInOrderOfFirstAppearance) {
    bothModesOk(u"127.0.0.1", u"127.0.0.1");
    EXPECT_EQ(occurrences(run().reportText,
                          u"对端 127.0.0.1 / update.vesk.example\r\n[probe 127.0.0.1:443 update.vesk.example]\r\n"),
              1u);
    EXPECT_EQ(world.probeCalls.size(), 1u);

    world = FakeWorld{};
    world.answer(ConnectionMode::Ipv4Only, "manifest.json", fetched(u"127.0.0.1"));
    world.answer(ConnectionMode::Ipv4Only, "manifest.json.sig", fetched(u"127.0.0.2"));
    world.answer(ConnectionMode::SystemChosen, "manifest.json", fetched(u"127.0.0.2"));
    world.answer(ConnectionMode::SystemChosen, "manifest.json.sig", fetched(u"127.0.0.1"));
    run();
    EXPECT_EQ(world.probeCalls, (std::vector<std::u16string>{u"127.0.0.1", u"127.0.0.2"}));
}

TEST_F(CheckRun, OffersTheTimeSettingsOnlyWhenTheDecisiveFindingIsTheClock) {
    const FetchOutcome expired = failed(FailureCategory::CertTimeInvalid, 35, 0, u"127.0.0.1", u"SEC_E_CERT_EXPIRED");
    const FetchOutcome revoked = failed(FailureCategory::CertRevoked, 35, 0, u"127.0.0.1", u"CRYPT_E_REVOKED");
    const struct {
        FetchOutcome ipv4;
        FetchOutcome system;
        bool offered;
    } cases[] = {
        {expired, revoked, false},
        {fetched(u"127.0.0.1"), expired, true},
        {expired, expired, true},
    };
    for (const auto& c : cases) {
        world = FakeWorld{};
        world.answer(ConnectionMode::Ipv4Only, "manifest.json", c.ipv4);
        world.answer(ConnectionMode::Ipv4Only, "manifest.json.sig", fetched(u"127.0.0.1"));
        world.answer(ConnectionMode::SystemChosen, "manifest.json", c.system);
        world.answer(ConnectionMode::SystemChosen, "manifest.json.sig", fetched(u"127.0.0.1"));
        EXPECT_EQ(run().showTimeSettings, c.offered);
    }
}
