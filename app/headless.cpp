#include "app/headless.h"

#include "check/report_file.h"

namespace veskcheck {

int runHeadless(const std::filesystem::path& reportPath, const RunFunction& run) {
    try {
        const CancelFlag neverCancelled{false};
        const CheckReport report = run(neverCancelled);
        return writeReportFile(reportPath, report.reportText) ? headlessReportWritten : headlessReportNotWritten;
    } catch (...) {
        // No report exists: the run itself failed before it could compose one.
        return headlessRunFailed;
    }
}

}  // namespace veskcheck
