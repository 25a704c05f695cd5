#include "app/run_worker.h"

#include <utility>

#include "app/run_lifecycle.h"

namespace veskcheck {

RunWorker::RunWorker(RunFunction run, CancelFlag& cancel, CheckReport& report)
    : run_(std::move(run)), cancel_(cancel), report_(report) {
    try {
        thread_ = std::thread([this] { serve(); });
    } catch (...) {
        // No thread (the system refused one, or memory ran out): every run fails to start, which
        // the window shows.
    }
}

RunWorker::~RunWorker() {
    if (!thread_.joinable()) return;
    cancel_.store(true);
    {
        const std::lock_guard lock(handOver_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

bool RunWorker::begin(std::function<void()> ended) {
    if (!thread_.joinable()) return false;
    finished_.store(false);
    {
        const std::lock_guard lock(handOver_);
        ended_ = std::move(ended);
        requested_ = true;
    }
    wake_.notify_one();
    return true;
}

void RunWorker::serve() {
    std::unique_lock lock(handOver_);
    for (;;) {
        wake_.wait(lock, [this] { return requested_ || stopping_; });
        if (stopping_) return;
        requested_ = false;
        // Taken out under the lock: the next hand-over may replace it while this run is ending.
        const std::function<void()> ended = std::move(ended_);
        lock.unlock();
        completeRun(run_, cancel_, report_);
        finished_.store(true);
        ended();
        lock.lock();
    }
}

}  // namespace veskcheck
