#pragma once

#include <filesystem>
#include <string>

namespace veskcheck {

// Writes the report to a new file: the bytes FF FE, then the text as UTF-16LE, nothing after it.
// An existing file is never touched, and a file that could not be written completely (a failed
// write or flush) is removed, and only while it is still the file made here, so a report either
// exists whole or not at all and nobody else's file is ever deleted. True when the whole text was
// written. The path is the system's own (UTF-16 on Windows, the bytes given elsewhere).
bool writeReportFile(const std::filesystem::path& path, const std::u16string& text);

}  // namespace veskcheck
