#pragma once

// What a manifest reader made of some bytes, in a form two readers' results can be compared in.
#include <optional>
#include <span>
#include <string>

#include "patch/manifest.h"
#include "patch/patch_error.h"
#include "utf8_text.h"

namespace vesktest {

struct ManifestOutcome {
    std::optional<veskpatch::Manifest> manifest;  // when the bytes were accepted
    std::string refusal;                          // the PatchError's message otherwise
};

template <typename Parse>
ManifestOutcome outcomeOf(Parse&& parse, std::span<const unsigned char> bytes) {
    try {
        return {parse(bytes), {}};
    } catch (const veskpatch::PatchError& e) {
        return {std::nullopt, e.what()};
    }
}

// checkManifest's verdict in the same form: accepted (with an empty Manifest) or the refusal.
inline ManifestOutcome checkOutcomeOf(std::span<const unsigned char> bytes) {
    return outcomeOf(
        [](std::span<const unsigned char> manifest) {
            veskpatch::checkManifest(manifest);
            return veskpatch::Manifest{};
        },
        bytes);
}

inline bool sameFile(const veskpatch::ManifestFile& a, const veskpatch::ManifestFile& b) {
    return a.action == b.action && a.path == b.path && a.url == b.url && a.size == b.size && a.sha256 == b.sha256 &&
           a.role == b.role;
}

inline bool sameManifest(const veskpatch::Manifest& a, const veskpatch::Manifest& b) {
    return a.schemaVersion == b.schemaVersion && a.releaseId == b.releaseId && a.publishedAt == b.publishedAt &&
           a.keyId == b.keyId && a.minimumUpdaterVersion == b.minimumUpdaterVersion &&
           a.launchExecutable == b.launchExecutable && a.files.size() == b.files.size() &&
           std::equal(a.files.begin(), a.files.end(), b.files.begin(), sameFile);
}

inline bool sameOutcome(const ManifestOutcome& a, const ManifestOutcome& b) {
    if (a.manifest.has_value() != b.manifest.has_value()) return false;
    return a.manifest ? sameManifest(*a.manifest, *b.manifest) : a.refusal == b.refusal;
}

// Whether both accepted, or both refused with the same message.
inline bool sameVerdict(const ManifestOutcome& a, const ManifestOutcome& b) {
    return a.manifest.has_value() == b.manifest.has_value() && a.refusal == b.refusal;
}

// One line: the refusal, or the accepted manifest's size and first differing-prone fields.
inline std::string describe(const ManifestOutcome& outcome) {
    if (!outcome.manifest) return "refused: " + outcome.refusal;
    const veskpatch::Manifest& m = *outcome.manifest;
    std::string text = "accepted: release " + toUtf8(m.releaseId) + ", " + std::to_string(m.files.size()) + " files";
    for (const veskpatch::ManifestFile& file : m.files)
        text += "; " + toUtf8(file.path) + " " + toUtf8(file.url) + " " + std::to_string(file.size) + " " +
                toUtf8(file.role);
    return text;
}

}  // namespace vesktest
