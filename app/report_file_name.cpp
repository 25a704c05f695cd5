#include "app/report_file_name.h"

#include "common/decimal_text.h"

namespace veskcheck {

std::u16string defaultReportFileName(const LocalClockTime& time) {
    return u"Vesk连接检测-" + decimalText(time.year, 4) + decimalText(time.month, 2) + decimalText(time.day, 2) + u"-" +
           decimalText(time.hour, 2) + decimalText(time.minute, 2) + decimalText(time.second, 2) + u"-" +
           decimalText(time.milliseconds, 3) + u".txt";
}

}  // namespace veskcheck
