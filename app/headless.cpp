#include "app/headless.h"

#include "check/check_run.h"
#include "check/report_file.h"

namespace veskcheck {

int runHeadless(const std::u16string& reportPath) {
    try {
        const CancelFlag neverCancelled{false};
        const CheckReport report = runCheck(neverCancelled);
        return writeReportFile(reportPath, report.reportText) ? headlessReportWritten : headlessReportNotWritten;
    } catch (...) {
        // No report exists: the run itself failed before it could compose one.
        return headlessRunFailed;
    }
}

}  // namespace veskcheck
