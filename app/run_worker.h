#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "app/run_function.h"
#include "check/check_report.h"
#include "common/cancel_flag.h"

namespace veskcheck {

// The one thread that does every run of a window. It is made before the window and ended after
// it, so the window's thread neither starts nor joins a thread while the window is up: both wait
// for the system's loader, which another thread (a resolver thread of libcurl starting or ending,
// a library being loaded for the check) may hold for a long time. Handing a run over and taking
// its result back never waits for the run.
class RunWorker {
public:
    // Starts the thread. Each run reads `cancel` and moves its result into `report`; both belong
    // to the caller and must outlive the worker.
    RunWorker(RunFunction run, CancelFlag& cancel, CheckReport& report);
    RunWorker(const RunWorker&) = delete;
    RunWorker& operator=(const RunWorker&) = delete;
    // Asks a run still in progress to stop and waits for the thread to end.
    ~RunWorker();

    // Hands the next run to the thread; `ended` is called on the thread once the run has ended
    // and `report` holds its result. The caller has prepared `cancel` and `report` and leaves
    // them alone until `finished()`. False, and nothing happens, when the thread could not be
    // made.
    bool begin(std::function<void()> ended);
    // The run last begun has ended: its report may be read.
    bool finished() const { return finished_.load(); }

private:
    void serve();

    RunFunction run_;
    CancelFlag& cancel_;
    CheckReport& report_;
    std::atomic<bool> finished_{false};
    // Guards only the hand-over below, never a run: the window's thread holds it for an instant.
    std::mutex handOver_;
    std::condition_variable wake_;
    bool requested_ = false;
    bool stopping_ = false;
    std::function<void()> ended_;
    std::thread thread_;  // last: the thread starts once everything it uses exists
};

}  // namespace veskcheck
