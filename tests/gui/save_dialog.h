#pragma once

// The system's save dialog as the report actions open it, and the file a saved report must be.
#include <windows.h>

#include <string>
#include <vector>

#include "driver_case.h"

namespace vesktest {

// FF FE and the text as UTF-16LE: the bytes of a saved report.
std::vector<unsigned char> reportFileBytes(const std::u16string& text);

// Clicks "保存检测报告" and checks the dialog that opens, with its offered name (returned through
// `defaultName` when given); null when no dialog opened.
HWND openSaveDialog(Case& c, const Session& s, std::u16string* defaultName = nullptr);

// Saves under `path`, or under the name offered when `path` is empty.
void saveAs(Case& c, HWND dialog, const std::u16string& path);

}  // namespace vesktest
