#include "report/folder_walk.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace veskreport {
namespace {

namespace fs = std::filesystem;

using OnEntry = std::function<void(const WalkedEntry&)>;

// Why a folder's entry that is not itself a folder cannot be read as a file; nothing when it can.
std::optional<std::string> whyNotAFile(const fs::path& entry) {
    std::error_code error;
    const fs::file_status target = fs::status(entry, error);
    if (error) return "it links to nothing that can be read";
    if (fs::is_directory(target)) return "it links to a folder, which the walk does not follow";
    if (!fs::is_regular_file(target)) return "it is not a regular file";
    return std::nullopt;
}

void walkFolder(const fs::path& folder, const OnEntry& onEntry) {
    // No skip_permission_denied: a folder that refuses us is named, not skipped.
    std::error_code error;
    std::vector<fs::path> names;
    fs::directory_iterator entry(folder, error);
    if (error) {
        onEntry({folder, "the folder cannot be opened"});
        return;
    }
    // An error while reading ends the iteration with the error set.
    for (; entry != fs::directory_iterator(); entry.increment(error)) names.push_back(entry->path());
    if (error) onEntry({folder, "the folder cannot be read to its end"});
    std::ranges::sort(names);
    for (const fs::path& name : names) {
        const fs::file_status own = fs::symlink_status(name, error);
        if (error) onEntry({name, "it cannot be examined"});
        else if (fs::is_directory(own)) walkFolder(name, onEntry);
        else onEntry({name, whyNotAFile(name)});
    }
}

}  // namespace

void walkInput(const fs::path& input, const OnEntry& onEntry) {
    std::error_code error;
    if (fs::is_directory(input, error)) walkFolder(input, onEntry);
    else onEntry({input, std::nullopt});
}

}  // namespace veskreport
