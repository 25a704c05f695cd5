// vesk-report over what only a POSIX disk shows it: folders that refuse, links that lead nowhere,
// files without end, and a disk that refuses the page half-way.
#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "file_size_cap.h"
#include "report_tool_run.h"
#include "sample_report.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using vesktest::runReportTool;

// The tests run as root, whom a folder's mode does not stop. Without the two capabilities that
// override file permissions, root is held to a mode like anyone else; they come back at the end.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride() {
        syscall(SYS_capget, &header_, saved_);
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &header_, reduced);
    }
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;
    ~WithoutPermissionOverride() { syscall(SYS_capset, &header_, saved_); }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
};

void writeReport(const fs::path& path) {
    const auto bytes = vesktest::sampleReportBytes();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(ReportToolWalk, NamesEveryEntryItCannotTakeAndReadsAllTheRest) {
    const vesktest::TempFolder folder;
    const fs::path root = folder.file("reports");
    for (const char* sub : {"a", "m/locked", "z"}) fs::create_directories(root / sub);
    for (const char* name : {"a/1.txt", "a/2.txt", "m/3.txt", "m/locked/4.txt", "z/5.txt", "6.txt"})
        writeReport(root / name);
    fs::create_symlink("missing.txt", root / "a/dangling.txt");
    fs::create_symlink("loop", root / "m/loop");
    fs::create_symlink("../z", root / "m/folder-link");
    ASSERT_EQ(mkfifo((root / "z/pipe").c_str(), 0600), 0);
    fs::permissions(root / "m/locked", fs::perms::none);

    vesktest::ReportToolRun run;
    {
        const WithoutPermissionOverride asAnyone;
        ASSERT_FALSE(std::ifstream(root / "m/locked/4.txt").is_open()) << "the locked folder does not stop us";
        run = runReportTool({"--summary", root});
    }
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("reports: 5\n"), std::string::npos) << run.out;
    const std::string reports = root.string();
    for (const std::string refusal :
         {"/a/dangling.txt: not read: it links to nothing that can be read",
          "/m/folder-link: not read: it links to a folder, which the walk does not follow",
          "/m/locked: not read: the folder cannot be opened", "/m/loop: not read: it links to nothing that can be read",
          "/z/pipe: not read: it is not a regular file"})
        EXPECT_NE(run.err.find(reports + refusal + "\n"), std::string::npos) << refusal << "\n" << run.err;
}

// pagemap claims a size of 0 and gives eight bytes for every page of the address space.
TEST(ReportTool, RefusesAFileWithoutEndAfterTheLimit) {
    const auto run = runReportTool({"/proc/self/pagemap"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "/proc/self/pagemap: not a report: it is larger than 1 MiB\n");
}

TEST(ReportTool, LeavesNoPageBehindWhenTheDiskRefusesIt) {
    const vesktest::TempFolder folder;
    writeReport(folder.file("report.txt"));
    const fs::path page = folder.file("page.html");
    vesktest::ReportToolRun run;
    {
        const vesktest::FileSizeCap cap(100);
        run = runReportTool({"--html", page, folder.file("report.txt")});
    }
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(fs::exists(page));
}

}  // namespace
