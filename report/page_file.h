#pragma once

#include <filesystem>
#include <string_view>

namespace veskreport {

// Writes the page to a new file. An existing file is never touched, and a file that could not be
// written completely (a failed write, sync or close) is removed, only ever while it is still the
// one this call created, so a page either exists whole or not at all and nobody else's file goes.
// True when the whole page was written.
bool writeNewPage(const std::filesystem::path& path, std::string_view page);

}  // namespace veskreport
