#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "check/created_file_posix.h"
#include "check/report_file.h"
#include "file_size_cap.h"
#include "temp_folder.h"

using veskcheck::CreatedFile;
using veskcheck::writeReportFile;
using vesktest::fileBytes;
using vesktest::FileSizeCap;
using Bytes = std::vector<unsigned char>;

namespace {

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Runs `write` in a child process whose own mount namespace has no /proc, the way a container or a
// chroot may be set up: an unnamed file can then never be given its name. Hiding /proc needs root,
// as the lab does.
bool writesWithoutProc(const std::function<bool()>& write) {
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            umount2("/proc", MNT_DETACH) != 0)
            _exit(2);
        _exit(write() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "could not hide /proc from the child";
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class ReportFileWithoutProc : public testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "hiding /proc needs root";
    }
    const vesktest::TempFolder folder;
};

}  // namespace

TEST(ReportFile, LeavesNothingBehindWhenAWriteComesBackShort) {
    const vesktest::TempFolder folder;
    const auto path = folder.file("report.txt");
    bool written = true;
    {
        const FileSizeCap cap(100);
        written = writeReportFile(path, std::u16string(1000, u'x'));
    }
    EXPECT_FALSE(written);
    EXPECT_TRUE(std::filesystem::is_empty(path.parent_path()));
}

TEST_F(ReportFileWithoutProc, WritesTheWholeReportInPlace) {
    const auto path = folder.file("report.txt");
    ASSERT_TRUE(writesWithoutProc([&] { return writeReportFile(path, u"A检\r\n"); }));
    EXPECT_EQ(fileBytes(path), (Bytes{0xFF, 0xFE, 'A', 0, 0xC0, 0x68, '\r', 0, '\n', 0}));
}

TEST_F(ReportFileWithoutProc, NeverTouchesAnExistingFileOrLink) {
    const auto existing = folder.file("report.txt");
    writeFile(existing, "earlier report");
    const auto link = folder.file("link.txt");
    std::filesystem::create_symlink(folder.file("target.txt"), link);
    for (const auto& path : {existing, link}) {
        SCOPED_TRACE(path.string());
        EXPECT_FALSE(writesWithoutProc([&] { return writeReportFile(path, u"new"); }));
    }
    EXPECT_EQ(fileBytes(existing), bytesOf("earlier report"));
    EXPECT_FALSE(std::filesystem::exists(folder.file("target.txt")));
}

TEST_F(ReportFileWithoutProc, LeavesNothingBehindWhenAWriteComesBackShort) {
    const auto path = folder.file("report.txt");
    const FileSizeCap cap(100);
    EXPECT_FALSE(writesWithoutProc([&] { return writeReportFile(path, std::u16string(1000, u'x')); }));
    EXPECT_TRUE(std::filesystem::is_empty(path.parent_path()));
}

TEST(CreatedFile, IsRemovedUnlessKept) {
    const vesktest::TempFolder folder;
    const auto dropped = folder.file("dropped.txt");
    const auto kept = folder.file("kept.txt");
    {
        const CreatedFile droppedFile(dropped);
        CreatedFile keptFile(kept);
        ASSERT_TRUE(droppedFile && keptFile);
        keptFile.keep();
    }
    EXPECT_FALSE(std::filesystem::exists(dropped));
    EXPECT_TRUE(std::filesystem::exists(kept));
}

TEST(CreatedFile, NeverRemovesAFileThatHasSinceTakenItsName) {
    const vesktest::TempFolder folder;
    const auto path = folder.file("report.txt");
    const auto others = folder.file("others.txt");
    writeFile(others, "another program's file");
    {
        const CreatedFile file(path);
        ASSERT_TRUE(file);
        std::filesystem::rename(others, path);
    }
    EXPECT_EQ(fileBytes(path), bytesOf("another program's file"));
}
