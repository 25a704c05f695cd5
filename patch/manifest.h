#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/failure_category.h"
#include "patch/digest.h"

namespace veskpatch {

enum class FileAction : std::int32_t { Replace = 0, Delete = 1 };

struct ManifestFile {
    FileAction action = FileAction::Replace;
    std::u16string path;     // normalised, backslash separators, case as written
    std::u16string url;      // Replace only
    std::uint64_t size = 0;  // Replace only
    Sha256 sha256{};         // Replace only
    std::u16string role;     // Replace only
};

struct Manifest {
    std::uint64_t schemaVersion = 0;
    std::u16string releaseId;
    std::u16string publishedAt;
    std::u16string keyId;
    std::u16string minimumUpdaterVersion;
    std::u16string launchExecutable;
    std::vector<ManifestFile> files;
};

// The largest manifest.json the updater accepts, and the most file entries it may list.
inline constexpr std::size_t maxManifestBytes = 16777216;
inline constexpr std::size_t maxFileEntries = 200000;

// The updater's rules for manifest.json; throws PatchError with a fixed message.
Manifest parseManifest(std::span<const unsigned char> bytes);

// The same rules without keeping what they read: the verdict of parseManifest, for less time and
// memory. Throws the same PatchError.
void checkManifest(std::span<const unsigned char> bytes);

// Signature first, then the rules: Ok, SignatureInvalid or ManifestInvalid. A PatchError from the
// signature check itself (the platform failed) reaches the caller.
veskcheck::FailureCategory verifyManifest(std::span<const unsigned char> manifest,
                                          std::span<const unsigned char> signature);

// A file URL must be a relative CDN path without scheme, port, query or fragment.
void checkFileUrl(std::u16string_view url);

}  // namespace veskpatch
