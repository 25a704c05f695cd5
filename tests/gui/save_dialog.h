#pragma once

// The system's save dialog as the report actions open it.
#include <windows.h>

#include <string>

#include "driver_case.h"

namespace vesktest {

// Clicks "保存检测报告" and checks the dialog that opens, with its offered name (returned through
// `defaultName` when given); null when no dialog opened.
HWND openSaveDialog(Case& c, const Session& s, std::u16string* defaultName = nullptr);

// Saves under `path`, or under the name offered when `path` is empty.
void saveAs(Case& c, HWND dialog, const std::u16string& path);

}  // namespace vesktest
