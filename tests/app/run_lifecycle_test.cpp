#include <gtest/gtest.h>

#include <stdexcept>

#include "app/run_lifecycle.h"
#include "utf8_text.h"

using namespace veskcheck;

namespace {

constexpr char16_t runningStatus[] = u"正在检测，请稍候……";
constexpr char16_t runningText[] =
    u"正在检查更新清单、签名和 Windows 证书路径，请稍候。\r\n\r\n检测完成后，这里会直接显示您需要做的操作。"
    u"\r\n\r\n检测过程中不会安装软件或修改电脑设置。";
constexpr char16_t finishedStatus[] = u"检测结束，请按下面的建议操作";
constexpr char16_t closingStatus[] = u"正在结束检测，请稍候……";
constexpr char16_t startFailedStatus[] = u"检测未能启动，请关闭工具后重试。";
constexpr char16_t runFailedAdvice[] = u"检测未能完成，请关闭工具后重试。";

constexpr ButtonStates allLocked{false, false, false, false};

CheckReport finishedReport(std::u16string reportText, bool showTimeSettings) {
    CheckReport report;
    report.attempts.resize(2);
    report.advice = u"请核对电脑时间。";
    report.reportText = std::move(reportText);
    report.showTimeSettings = showTimeSettings;
    return report;
}

struct WindowRuns : ::testing::Test {
    RunLifecycle lifecycle;
    CancelFlag cancel{false};
    CheckReport report;

    void startRunning() { ASSERT_TRUE(lifecycle.start(cancel, report)); }
};

}  // namespace

TEST_F(WindowRuns, StartClearsTheCancelRequestEmptiesTheReportAndLocksTheButtons) {
    report = finishedReport(u"报告", true);
    cancel = true;
    const auto change = lifecycle.start(cancel, report);
    ASSERT_TRUE(change);
    EXPECT_TRUE(lifecycle.running());
    EXPECT_FALSE(cancel);
    EXPECT_TRUE(report.attempts.empty());
    EXPECT_TRUE(report.advice.empty());
    EXPECT_TRUE(report.reportText.empty());
    EXPECT_FALSE(report.showTimeSettings);
    EXPECT_EQ(change->status, runningStatus);
    EXPECT_EQ(change->advice, runningText);
    EXPECT_EQ(change->buttons, allLocked);
    EXPECT_FALSE(change->destroyWindow);
}

TEST_F(WindowRuns, NoSecondRunWhileOneIsInProgress) {
    startRunning();
    report = finishedReport(u"部分报告", false);
    cancel = true;
    EXPECT_FALSE(lifecycle.start(cancel, report));
    EXPECT_TRUE(cancel);
    EXPECT_EQ(report.reportText, u"部分报告");
}

TEST_F(WindowRuns, FinishedRunShowsTheAdviceAndOffersWhatTheReportAllows) {
    const struct {
        const char* name;
        std::u16string reportText;
        bool showTimeSettings;
        ButtonStates buttons;
    } cases[] = {
        {"report", u"报告", false, {true, true, true, false}},
        {"clock", u"报告", true, {true, true, true, true}},
        {"no report", u"", false, {true, false, false, false}},
        {"no report, clock", u"", true, {true, false, false, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunLifecycle lifecycle;
        ASSERT_TRUE(lifecycle.start(cancel, report));
        const WindowChange change = lifecycle.finished(finishedReport(c.reportText, c.showTimeSettings));
        EXPECT_FALSE(lifecycle.running());
        EXPECT_EQ(change.status, finishedStatus);
        EXPECT_EQ(change.advice, u"请核对电脑时间。");
        EXPECT_EQ(change.buttons, c.buttons);
        EXPECT_FALSE(change.destroyWindow);
    }
}

TEST_F(WindowRuns, TheNextStartHidesTheDateAndTimeButtonAgain) {
    startRunning();
    lifecycle.finished(finishedReport(u"报告", true));
    const auto change = lifecycle.start(cancel, report);
    ASSERT_TRUE(change);
    EXPECT_EQ(change->buttons, allLocked);
}

TEST_F(WindowRuns, CloseWhenIdleDestroysTheWindowAtOnce) {
    startRunning();
    lifecycle.finished(finishedReport(u"报告", false));
    const WindowChange change = lifecycle.closeRequest(cancel);
    EXPECT_TRUE(change.destroyWindow);
    EXPECT_FALSE(change.status);
    EXPECT_FALSE(cancel);
    EXPECT_FALSE(lifecycle.closeRequested());
}

TEST_F(WindowRuns, CloseDuringARunCancelsItAndWaitsForItsEnd) {
    startRunning();
    for (int request = 1; request <= 2; ++request) {  // a second request changes nothing more
        SCOPED_TRACE(request);
        const WindowChange change = lifecycle.closeRequest(cancel);
        EXPECT_TRUE(cancel);
        EXPECT_TRUE(lifecycle.running());
        EXPECT_TRUE(lifecycle.closeRequested());
        EXPECT_EQ(change.status, closingStatus);
        EXPECT_FALSE(change.advice);
        EXPECT_FALSE(change.buttons);
        EXPECT_FALSE(change.destroyWindow);
    }
    const WindowChange end = lifecycle.finished(finishedReport(u"报告", true));
    EXPECT_FALSE(lifecycle.running());
    EXPECT_TRUE(end.destroyWindow);
    EXPECT_FALSE(end.status);
    EXPECT_FALSE(end.advice);
    EXPECT_FALSE(end.buttons);
}

TEST_F(WindowRuns, AWorkerThatCannotStartLeavesOnlyANewAttempt) {
    startRunning();
    const WindowChange change = lifecycle.startFailed();
    EXPECT_FALSE(lifecycle.running());
    EXPECT_EQ(change.status, startFailedStatus);
    EXPECT_FALSE(change.advice);  // the in-progress text stays
    EXPECT_EQ(change.buttons, (ButtonStates{true, false, false, false}));
    EXPECT_TRUE(lifecycle.closeRequest(cancel).destroyWindow);
}

TEST_F(WindowRuns, WorkerMovesTheWholeResultIntoTheReport) {
    startRunning();
    cancel = true;
    const CancelFlag* seen = nullptr;
    completeRun(
        [&](const CancelFlag& flag) {
            seen = &flag;
            return finishedReport(u"完整报告", true);
        },
        cancel, report);
    EXPECT_EQ(seen, &cancel);
    EXPECT_EQ(report.attempts.size(), 2u);
    EXPECT_EQ(report.advice, u"请核对电脑时间。");
    EXPECT_EQ(report.reportText, u"完整报告");
    EXPECT_TRUE(report.showTimeSettings);
}

TEST_F(WindowRuns, ARunThatThrowsLeavesOnlyTheFallbackAdvice) {
    const struct {
        const char* name;
        RunFunction run;
    } cases[] = {
        {"standard exception", [](const CancelFlag&) -> CheckReport { throw std::bad_alloc(); }},
        {"anything else", [](const CancelFlag&) -> CheckReport { throw 42; }},
        {"no run at all", RunFunction{}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunLifecycle lifecycle;
        ASSERT_TRUE(lifecycle.start(cancel, report));
        completeRun(c.run, cancel, report);
        EXPECT_EQ(report.advice, runFailedAdvice);
        EXPECT_TRUE(report.attempts.empty());
        EXPECT_TRUE(report.reportText.empty());
        EXPECT_FALSE(report.showTimeSettings);
        const WindowChange change = lifecycle.finished(report);
        EXPECT_EQ(change.advice, runFailedAdvice);
        EXPECT_EQ(change.buttons, (ButtonStates{true, false, false, false}));
    }
}
