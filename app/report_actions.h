#pragma once

// The window's three report actions. Windows only; each runs on the GUI thread, ends with a
// message box owned by `owner` or with nothing, and changes nothing in the window.
#include <windows.h>

#include <string>

namespace veskcheck {

// "保存检测报告": the save dialog on the desktop with a time-stamped name, then a new file.
void saveReport(HWND owner, const std::u16string& reportText);
// "复制报告": the report as Unicode text on the clipboard.
void copyReport(HWND owner, const std::u16string& reportText);
// "打开日期和时间": the system's date and time settings through the control panel program.
void openDateTimeSettings(HWND owner);

}  // namespace veskcheck
