#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "app/run_worker.h"

using namespace veskcheck;
using namespace std::chrono_literals;

namespace {

constexpr auto runEnds = 10s;  // a generous bound for a run that takes no time at all

CheckReport reportSaying(std::u16string advice) {
    CheckReport report;
    report.advice = std::move(advice);
    return report;
}

// The thread a run ended on, as the run's end reports it. Made before the worker, so that it
// outlives whatever the worker's thread is still doing with it.
struct EndSeen {
    std::promise<std::thread::id> endedOn;
    std::future<std::thread::id> future = endedOn.get_future();
    std::function<void()> callback() {
        return [this] { endedOn.set_value(std::this_thread::get_id()); };
    }
};

}  // namespace

TEST(RunWorker, RunsOneAfterAnotherOnTheOneThreadItMadeBeforehand) {
    CancelFlag cancel{false};
    CheckReport report;
    EndSeen ends[2];
    int runs = 0;
    RunWorker worker([&](const CancelFlag&) { return reportSaying(runs++ == 0 ? u"第一次" : u"第二次"); }, cancel,
                     report);
    std::thread::id firstThread;
    for (int run = 0; run < 2; ++run) {
        EndSeen& end = ends[run];
        ASSERT_TRUE(worker.begin(end.callback()));
        ASSERT_EQ(end.future.wait_for(runEnds), std::future_status::ready) << "the run did not end";
        const std::thread::id thread = end.future.get();
        EXPECT_NE(thread, std::this_thread::get_id());
        if (firstThread == std::thread::id()) firstThread = thread;
        EXPECT_EQ(thread, firstThread);
        EXPECT_TRUE(worker.finished());
        EXPECT_EQ(report.advice, run == 0 ? u"第一次" : u"第二次");
    }
}

TEST(RunWorker, BeginNeverWaitsForTheRunAndFinishedSaysWhenItHasEnded) {
    CancelFlag cancel{false};
    CheckReport report;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    EndSeen end;
    RunWorker worker(
        [released](const CancelFlag& flag) {
            while (released.wait_for(1ms) != std::future_status::ready && !flag.load()) {}
            return reportSaying(u"结束");
        },
        cancel, report);
    ASSERT_TRUE(worker.begin(end.callback()));  // returns although the run cannot end yet
    EXPECT_FALSE(worker.finished());
    release.set_value();
    ASSERT_EQ(end.future.wait_for(runEnds), std::future_status::ready) << "the run did not end";
    EXPECT_TRUE(worker.finished());
    EXPECT_EQ(report.advice, u"结束");
}

TEST(RunWorker, EndingTheWorkerCancelsARunInProgressAndWaitsForIt) {
    CancelFlag cancel{false};
    CheckReport report;
    std::promise<void> started;
    bool sawCancel = false;
    {
        RunWorker worker(
            [&](const CancelFlag& flag) {
                started.set_value();
                while (!flag.load()) std::this_thread::sleep_for(1ms);
                sawCancel = true;
                return reportSaying(u"已取消");
            },
            cancel, report);
        ASSERT_TRUE(worker.begin([] {}));
        ASSERT_EQ(started.get_future().wait_for(runEnds), std::future_status::ready) << "the run did not start";
    }
    EXPECT_TRUE(sawCancel);
    EXPECT_EQ(report.advice, u"已取消");
}
