#include "app/run_lifecycle.h"

#include <string_view>
#include <utility>

namespace veskcheck {
namespace {

constexpr std::u16string_view runningStatus = u"正在检测，请稍候……";
constexpr std::u16string_view runningText =
    u"正在检查更新清单、签名和 Windows 证书路径，请稍候。\r\n\r\n"
    u"检测完成后，这里会直接显示您需要做的操作。\r\n\r\n"
    u"检测过程中不会安装软件或修改电脑设置。";
constexpr std::u16string_view startFailedStatus = u"检测未能启动，请关闭工具后重试。";
constexpr std::u16string_view runFailedAdvice = u"检测未能完成，请关闭工具后重试。";
constexpr std::u16string_view finishedStatus = u"检测结束，请按下面的建议操作";
constexpr std::u16string_view closingStatus = u"正在结束检测，请稍候……";

constexpr ButtonStates whileRunning{};  // retry, save and copy disabled; date and time hidden

WindowChange finishedChange(const CheckReport& report) {
    const bool hasReport = !report.reportText.empty();
    const ButtonStates buttons{true, hasReport, hasReport, report.showTimeSettings};
    return WindowChange{std::u16string(finishedStatus), report.advice, buttons, false};
}

WindowChange destroyTheWindow() {
    WindowChange change;
    change.destroyWindow = true;
    return change;
}

}  // namespace

std::optional<WindowChange> RunLifecycle::start(CancelFlag& cancel, CheckReport& report) {
    if (running_) return std::nullopt;
    // Everything that needs memory comes before the state changes, so running out of it leaves
    // the window idle rather than waiting for a run that never started.
    WindowChange change{std::u16string(runningStatus), std::u16string(runningText), whileRunning, false};
    CheckReport empty;
    // Room for the fallback advice now, so that a run that failed for want of memory can still
    // be answered without asking for more.
    empty.advice.reserve(runFailedAdvice.size());
    cancel.exchange(false);
    running_ = true;
    report = std::move(empty);
    return change;
}

WindowChange RunLifecycle::startFailed() {
    running_ = false;
    constexpr ButtonStates retryOnly{true, false, false, false};
    return WindowChange{std::u16string(startFailedStatus), std::nullopt, retryOnly, false};
}

WindowChange RunLifecycle::finished(const CheckReport& report) {
    // The texts are made before the state changes: running out of memory leaves the run in
    // progress, to be finished again, rather than a window whose buttons stay disabled.
    WindowChange change = closeRequested_ ? destroyTheWindow() : finishedChange(report);
    running_ = false;
    return change;
}

WindowChange RunLifecycle::closeRequest(CancelFlag& cancel) {
    if (!running_) return destroyTheWindow();
    closeRequested_ = true;
    cancel.exchange(true);
    return WindowChange{std::u16string(closingStatus), std::nullopt, std::nullopt, false};
}

void completeRun(const RunFunction& run, const CancelFlag& cancel, CheckReport& report) noexcept {
    try {
        report = run(cancel);
    } catch (...) {
        report.advice.assign(runFailedAdvice);
    }
}

}  // namespace veskcheck
