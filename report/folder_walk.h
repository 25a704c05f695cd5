#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace veskreport {

// What a walk meets: a file to read, or an entry it could not take as one, with why.
struct WalkedEntry {
    std::filesystem::path path;
    std::optional<std::string> notTaken;
};

// Calls `onEntry` for what an input names: the input itself when it is not a folder, else every
// entry under it, depth first, in path order, one folder's names in memory at a time. Nothing
// is passed over in silence: a folder that cannot be opened or read to its end, a link that
// leads nowhere, a link to a folder (never followed, so no loop can hold the walk) and anything
// that is not a regular file each come as an entry not taken, and the walk goes on.
void walkInput(const std::filesystem::path& input, const std::function<void(const WalkedEntry&)>& onEntry);

}  // namespace veskreport
