#pragma once

#include <optional>
#include <string>

#include "app/run_function.h"
#include "check/check_report.h"
#include "common/cancel_flag.h"

namespace veskcheck {

// Whether each button can be used; the date and time button is shown or hidden rather than
// disabled, so that it appears only when the clock is the likely cause.
struct ButtonStates {
    bool retryEnabled = false;
    bool saveEnabled = false;
    bool copyEnabled = false;
    bool timeShown = false;
    bool operator==(const ButtonStates&) const = default;
};

// How the window changes in answer to one event of a run. What is absent stays as it is.
struct WindowChange {
    std::optional<std::u16string> status;
    std::optional<std::u16string> advice;
    std::optional<ButtonStates> buttons;
    bool destroyWindow = false;
};

// The states of the window around its runs: idle, running, closing (a close request arrived
// during a run) and start failed. The window applies the changes it is given; this class decides
// them, and keeps no handles, so that every transition can be followed without a window.
class RunLifecycle {
public:
    bool running() const { return running_; }
    bool closeRequested() const { return closeRequested_; }

    // A run begins: the cancel request is cleared and the last report emptied before the worker
    // exists. Nothing, when a run is already in progress.
    std::optional<WindowChange> start(CancelFlag& cancel, CheckReport& report);
    // The worker thread could not be started; only a new attempt is offered.
    WindowChange startFailed();
    // The worker has ended and has been joined; `report` is its result. After a close request
    // the window goes away without showing it.
    WindowChange finished(const CheckReport& report);
    // The user asks to close the window. During a run the run is asked to stop and the window
    // stays until it has; otherwise the window goes at once.
    WindowChange closeRequest(CancelFlag& cancel);

private:
    bool running_ = false;
    bool closeRequested_ = false;
};

// The worker's body: moves the run's result into `report`, or, when the run throws anything at
// all, leaves `report` as the start emptied it and puts the fallback advice in it.
void completeRun(const RunFunction& run, const CancelFlag& cancel, CheckReport& report) noexcept;

}  // namespace veskcheck
