// NTFS takes names that are not well-formed UTF-16: such a name must reach every output with
// U+FFFD in place of what does not convert, and never end the run.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

#include "common/file_handle_win.h"
#include "report/file_name.h"
#include "report_tool_run.h"
#include "sample_report.h"
#include "temp_folder.h"

namespace {

TEST(ReportFileName, ALoneSurrogateBecomesTheReplacementCharacter) {
    const struct {
        std::wstring name;
        std::string utf8;
    } cases[] = {
        {L"报告.txt", "报告.txt"},
        {L"a\xD800.txt", "a\xEF\xBF\xBD.txt"},
        {L"a\xDC00\xD800", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
        {L"\xD83D\xDE00.txt", "\xF0\x9F\x98\x80.txt"},
    };
    for (const auto& c : cases) EXPECT_EQ(veskreport::fileName(c.name), c.utf8);
}

TEST(ReportFileName, AReportNamedWithALoneSurrogateIsRead) {
    const vesktest::TempFolder folder;
    const std::filesystem::path report = folder.file("r") += std::wstring(L"\xD800.txt");
    const auto bytes = vesktest::sampleReportBytes();
    {
        const veskcheck::FileHandle file(
            CreateFileW(report.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) GTEST_SKIP() << "this file system takes no such name (error " << GetLastError() << ")";
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    }
    const auto run = vesktest::runReportTool({folder.file("")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("r\xEF\xBF\xBD.txt: categories 0;"), std::string::npos) << run.out;
}

}  // namespace
