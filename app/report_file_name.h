#pragma once

#include <string>

namespace veskcheck {

// The local time of a click, as GetLocalTime gives it.
struct LocalClockTime {
    unsigned year = 0;
    unsigned month = 0;
    unsigned day = 0;
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
    unsigned milliseconds = 0;
};

// The name the save dialog offers: "Vesk连接检测-YYYYMMDD-hhmmss-mmm.txt". The milliseconds keep
// two saves within the same second apart.
std::u16string defaultReportFileName(const LocalClockTime& time);

}  // namespace veskcheck
