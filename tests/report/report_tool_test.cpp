// vesk-report's whole run over files on a disk: what it reads, what it refuses, and the page it
// writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "report/report_lines.h"
#include "report_tool_run.h"
#include "sample_report.h"
#include "temp_folder.h"

namespace {

using vesktest::fileBytes;
using vesktest::runReportTool;

void writeBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(ReportTool, RefusesAFileOverTheLimitWithoutTakingItsEnd) {
    const vesktest::TempFolder folder;
    std::vector<unsigned char> bytes = vesktest::sampleReportBytes();
    bytes.resize(veskreport::maxReportBytes + 1, ' ');
    writeBytes(folder.file("big.txt"), bytes);
    const auto run = runReportTool({folder.file("big.txt")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("big.txt: not a report: it is larger than 1 MiB"), std::string::npos) << run.err;
}

TEST(ReportTool, WritesThePageOnlyAsANewFile) {
    const vesktest::TempFolder folder;
    writeBytes(folder.file("report.txt"), vesktest::sampleReportBytes());
    const auto page = folder.file("page.html");
    const auto written = runReportTool({"--html", page, folder.file("report.txt")});
    EXPECT_EQ(written.exitCode, 0) << written.err;
    const auto bytes = fileBytes(page);
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("reports: 1</p>"), std::string::npos);

    // The first report named where the page belongs stays the report it is.
    const auto report = fileBytes(folder.file("report.txt"));
    const auto refused = runReportTool({"--html", folder.file("report.txt"), folder.file("report.txt")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("report.txt: the page cannot be written as a new file"), std::string::npos);
    EXPECT_EQ(fileBytes(folder.file("report.txt")), report);
}

}  // namespace
