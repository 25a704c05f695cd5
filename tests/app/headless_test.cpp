#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <vector>

#include "app/headless.h"
#include "temp_folder.h"

namespace veskcheck {
namespace {

CheckReport reportSaying(std::u16string text) {
    CheckReport report;
    report.reportText = std::move(text);
    return report;
}

// The exit code is the whole answer of the headless mode: 0 written, 2 not written, 3 no report.
TEST(Headless, ExitCodeSaysWhatBecameOfTheReport) {
    const vesktest::TempFolder folder;
    const RunFunction finishes = [](const CancelFlag&) { return reportSaying(u"A"); };
    const RunFunction throws = [](const CancelFlag&) -> CheckReport { throw std::runtime_error("curl init"); };
    const struct {
        const char* what;
        RunFunction run;
        std::filesystem::path path;
        int exitCode;
        std::vector<unsigned char> written;  // empty: no file
    } cases[] = {
        {"report written", finishes, folder.file("written.txt"), headlessReportWritten, {0xFF, 0xFE, 'A', 0}},
        {"folder missing", finishes, folder.file("missing") / "r.txt", headlessReportNotWritten, {}},
        {"run throws", throws, folder.file("thrown.txt"), headlessRunFailed, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(runHeadless(c.path, c.run), c.exitCode);
        EXPECT_EQ(std::filesystem::exists(c.path) ? vesktest::fileBytes(c.path) : std::vector<unsigned char>{},
                  c.written);
    }
}

}  // namespace
}  // namespace veskcheck
