#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "check/report_file.h"
#include "temp_folder.h"

using veskcheck::writeReportFile;
using vesktest::fileBytes;
using Bytes = std::vector<unsigned char>;

TEST(ReportFile, WritesByteOrderMarkThenLittleEndianUnits) {
    const vesktest::TempFolder folder;
    const auto path = folder.file("报告.txt");
    ASSERT_TRUE(writeReportFile(path, u"A检\r\n😀"));
    const Bytes expected = {0xFF, 0xFE, 'A', 0, 0xC0, 0x68, '\r', 0, '\n', 0, 0x3D, 0xD8, 0x00, 0xDE};
    EXPECT_EQ(fileBytes(path), expected);
}

TEST(ReportFile, EmptyTextGivesOnlyTheByteOrderMark) {
    const vesktest::TempFolder folder;
    const auto path = folder.file("empty.txt");
    ASSERT_TRUE(writeReportFile(path, u""));
    EXPECT_EQ(fileBytes(path), (Bytes{0xFF, 0xFE}));
}

TEST(ReportFile, NeverTouchesAnExistingFile) {
    const vesktest::TempFolder folder;
    const auto path = folder.file("report.txt");
    std::ofstream(path, std::ios::binary) << "earlier report";
    EXPECT_FALSE(writeReportFile(path, u"new"));
    const std::string earlier = "earlier report";
    EXPECT_EQ(fileBytes(path), Bytes(earlier.begin(), earlier.end()));
}

TEST(ReportFile, FailsWithoutCreatingAnythingWhenTheFolderIsMissing) {
    const vesktest::TempFolder folder;
    const auto path = folder.file("missing") / "report.txt";
    EXPECT_FALSE(writeReportFile(path, u"text"));
    EXPECT_FALSE(std::filesystem::exists(folder.file("missing")));
}
