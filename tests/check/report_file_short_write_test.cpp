#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "check/report_file.h"
#include "temp_folder.h"

namespace {

// Caps the size of any file this process writes, so that a write past the cap comes back short,
// the way it does on a full disk; SIGXFSZ is ignored so the write returns instead of killing us.
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit capped = saved_;
        capped.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &capped);
    }
    FileSizeCap(const FileSizeCap&) = delete;
    FileSizeCap& operator=(const FileSizeCap&) = delete;
    ~FileSizeCap() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    sighandler_t previousHandler_ = SIG_DFL;
};

}  // namespace

TEST(ReportFile, LeavesNothingBehindWhenAWriteComesBackShort) {
    const vesktest::TempFolder folder;
    const auto path = folder.file("report.txt");
    bool written = true;
    {
        const FileSizeCap cap(100);
        written = veskcheck::writeReportFile(path, std::u16string(1000, u'x'));
    }
    EXPECT_FALSE(written);
    EXPECT_TRUE(std::filesystem::is_empty(path.parent_path()));
}
