#pragma once

// Sets a cancel flag from another thread after a delay, as a player closing the window would; the
// thread is joined when the object goes, so the flag must be declared before it.
#include <chrono>
#include <thread>

#include "common/cancel_flag.h"

namespace vesktest {

class DelayedCancel {
public:
    // A negative delay never cancels.
    DelayedCancel(veskcheck::CancelFlag& cancel, long delayMs) {
        if (delayMs < 0) return;
        thread_ = std::thread([&cancel, delayMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            cancel.store(true);
        });
    }
    DelayedCancel(const DelayedCancel&) = delete;
    DelayedCancel& operator=(const DelayedCancel&) = delete;
    ~DelayedCancel() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
};

}  // namespace vesktest
