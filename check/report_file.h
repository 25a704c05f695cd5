#pragma once

#include <string>

namespace veskcheck {

// Writes the report to a new file: the bytes FF FE, then the text as UTF-16LE, nothing after it.
// An existing file is never touched; a file that could not be written completely is deleted, so a
// report either exists whole or not at all. True when the whole text was written.
bool writeReportFile(const std::u16string& path, const std::u16string& text);

}  // namespace veskcheck
