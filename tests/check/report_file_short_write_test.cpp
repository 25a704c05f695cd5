#include <gtest/gtest.h>

#include <filesystem>

#include "check/report_file.h"
#include "file_size_cap.h"
#include "temp_folder.h"

TEST(ReportFile, LeavesNothingBehindWhenAWriteComesBackShort) {
    const vesktest::TempFolder folder;
    const auto path = folder.file("report.txt");
    bool written = true;
    {
        const vesktest::FileSizeCap cap(100);
        written = veskcheck::writeReportFile(path, std::u16string(1000, u'x'));
    }
    EXPECT_FALSE(written);
    EXPECT_TRUE(std::filesystem::is_empty(path.parent_path()));
}
