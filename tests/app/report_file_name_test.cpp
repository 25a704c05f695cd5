#include <gtest/gtest.h>

#include "app/report_file_name.h"
#include "utf8_text.h"

using veskcheck::defaultReportFileName;
using veskcheck::LocalClockTime;

TEST(ReportFileName, StampsTheLocalTimeToTheMillisecond) {
    const struct {
        LocalClockTime time;
        std::u16string name;
    } cases[] = {
        {{2024, 3, 5, 9, 7, 2, 45}, u"Vesk连接检测-20240305-090702-045.txt"},
        {{2024, 3, 5, 9, 7, 2, 46}, u"Vesk连接检测-20240305-090702-046.txt"},  // same second, another name
        {{2099, 12, 31, 23, 59, 59, 999}, u"Vesk连接检测-20991231-235959-999.txt"},
        {{601, 1, 1, 0, 0, 0, 0}, u"Vesk连接检测-06010101-000000-000.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(vesktest::toUtf8(c.name));
        EXPECT_EQ(defaultReportFileName(c.time), c.name);
    }
}
