#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace vesktest {

// Caps the size of any file this process writes, so that a write past the cap comes back short,
// the way it does on a full disk; SIGXFSZ is ignored so the write returns instead of killing us.
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit capped = saved_;
        capped.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &capped);
    }
    FileSizeCap(const FileSizeCap&) = delete;
    FileSizeCap& operator=(const FileSizeCap&) = delete;
    ~FileSizeCap() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    sighandler_t previousHandler_ = SIG_DFL;
};

}  // namespace vesktest
