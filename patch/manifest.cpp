#include "patch/manifest.h"

#include <algorithm>
#include <array>
#include <optional>

#include "patch/json_reader.h"
#include "patch/manifest_key.h"
#include "patch/manifest_path.h"
#include "patch/patch_error.h"
#include "patch/signature.h"
#include "patch/unit_match.h"

namespace veskpatch {
namespace {

constexpr std::size_t maxReleaseIdUnits = 64;
constexpr std::size_t maxPublishedAtUnits = 64;
constexpr std::size_t maxUpdaterVersionUnits = 32;
constexpr std::size_t maxRoleUnits = 32;
constexpr std::size_t maxUrlUnits = 2048;
constexpr std::uint64_t maxFileSize = std::uint64_t{1} << 40;

constexpr char sizeMessage[] = "清单为空或超过 16 MiB 上限。";
constexpr char schemaVersionMessage[] = "不支持的清单版本。";
constexpr char releaseIdMessage[] = "发布编号格式无效。";
constexpr char publishedAtMessage[] = "发布时间格式无效。";
constexpr char keyIdMessage[] = "清单 keyId 与内嵌发布公钥不一致。";
constexpr char updaterVersionMessage[] = "最低更新器版本格式无效。";
constexpr char fileCountMessage[] = "清单文件数量无效。";
constexpr char protectedTargetMessage[] = "当前清单不得更新更新器本身或内部事务目录。";
constexpr char duplicateTargetMessage[] = "清单包含重复目标路径。";
constexpr char urlFormMessage[] = "文件 URL 必须是无查询参数的 CDN 相对路径。";
constexpr char urlSegmentMessage[] = "文件 URL 包含不安全路径段。";
constexpr char roleMessage[] = "文件角色格式无效。";
constexpr char fileSizeMessage[] = "单个更新文件超过 1 TiB 安全上限。";
constexpr char deleteMembersMessage[] = "删除项目只能包含 action 和 path。";
constexpr char unknownActionMessage[] = "清单包含未知文件操作。";
constexpr char launchExecutableMessage[] = "启动程序必须固定为 Vesk.exe。";

// Targets a manifest may never touch, and the one it must start the game from, as compared by
// isSameTarget.
constexpr std::u16string_view updaterTarget = u"VESKAUTOPATCH.EXE";
constexpr std::u16string_view updaterHelperTarget = u"VESKAUTOPATCH.HELPER.EXE";
constexpr std::u16string_view transactionDir = u".VESK-UPDATE";
constexpr std::u16string_view transactionDirContentPrefix = u".VESK-UPDATE\\";
constexpr std::u16string_view launchExecutableTarget = u"VESK.EXE";

// The members of the root object and of a file entry, in the order their slots are numbered.
enum RootField {
    schemaVersionField,
    releaseIdField,
    publishedAtField,
    keyIdField,
    updaterVersionField,
    launchExecutableField,
    filesField
};
constexpr std::array<std::string_view, 7> rootKeys = {
    "schemaVersion", "releaseId", "publishedAt", "keyId", "minimumUpdaterVersion", "launchExecutable", "files"};
enum EntryField { actionField, pathField, urlField, sizeField, sha256Field, roleField };
constexpr std::array<std::string_view, 6> entryKeys = {"action", "path", "url", "size", "sha256", "role"};
using EntryFields = std::array<JsonValue, entryKeys.size()>;

bool isIdentifierUnit(char16_t unit) {
    return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z') || (unit >= u'0' && unit <= u'9') ||
           unit == u'.' || unit == u'_' || unit == u'-';
}

UnitMatch matchUrlDelimiter(char16_t unit) { return matchOneOf<u':', u'\\', u'?', u'#'>(unit); }

// Whether a segment of the URL may be empty or a dot segment: only a segment that starts with '/'
// or '.', or the one after a last '/', can be. One pass without branches, which the compiler runs
// over many units at once, spares nearly every URL the search for its segments.
bool mayHoldBadSegment(std::u16string_view url) {
    UnitMatch suspect = matchIf(url.front() == u'.' || url.back() == u'/');
    for (std::size_t at = 1; at < url.size(); ++at)
        suspect |= matchOneOf<u'/'>(url[at - 1]) & matchOneOf<u'/', u'.'>(url[at]);
    return suspect != 0;
}

// Release ids and updater versions: a short run of letters, digits, '.', '_' and '-'.
void checkIdentifier(std::u16string_view text, std::size_t maxUnits, const char* message) {
    if (text.empty() || !std::ranges::all_of(text, isIdentifierUnit) || text.size() > maxUnits)
        throw PatchError(message);
}

// Free labels: any text of bounded length that cannot break a line of a log or a report.
void checkLabel(std::u16string_view text, std::size_t maxUnits, const char* message) {
    if (text.empty() || text.size() > maxUnits || anyUnit(text, matchControl)) throw PatchError(message);
}

std::u16string stringField(const JsonValue& field) { return asString(requireField(field)); }
void stringField(const JsonValue& field, std::u16string& text) { asString(requireField(field), text); }

bool isProtectedTarget(std::u16string_view path) {
    return isSameTarget(path, updaterTarget) || isSameTarget(path, updaterHelperTarget) ||
           isSameTarget(path, transactionDir) ||
           (path.size() >= transactionDirContentPrefix.size() &&
            isSameTarget(path.substr(0, transactionDirContentPrefix.size()), transactionDirContentPrefix));
}

// The targets claimed so far. Each may be claimed once, whatever the action, so the updater never
// has to decide between two instructions for one file. An open-addressing table, sized once for
// every entry, keyed by a hash of the normalised path. A slot holds where the path stands in the
// document, which is read and normalised again only to settle a match of the hash, as rare as a
// duplicate: no node or path string per target, and no need to keep the file list. The probes
// read only sixteen bits of the hash per slot, a table small enough to stay in the processor's
// cache; the positions beside it are read only when those bits match.
class TargetClaims {
public:
    TargetClaims(const JsonDocument& document, std::size_t entries) : document_(document) {
        std::size_t size = 16;
        while (size < entries + entries / 2) size *= 2;
        tags_.assign(size, freeSlot);
        offsets_.resize(size);
    }

    // `spelled` is the entry's path as the document has it, `path` its normalised form.
    void claim(const JsonValue& spelled, std::u16string_view path) {
        if (isProtectedTarget(path)) throw PatchError(protectedTargetMessage);
        const std::uint64_t hash = targetHash(path);
        const auto tag = std::max<std::uint16_t>(static_cast<std::uint16_t>(hash >> 48), 1);
        for (std::size_t i = hash & (tags_.size() - 1);; i = (i + 1) & (tags_.size() - 1)) {
            if (tags_[i] == freeSlot) {
                tags_[i] = tag;
                offsets_[i] = spelled.offset();
                return;
            }
            if (tags_[i] == tag && isSameTarget(claimedPath(i), path)) throw PatchError(duplicateTargetMessage);
        }
    }

private:
    static constexpr std::uint16_t freeSlot = 0;

    // It passed the rules when it was claimed, so it normalises without fault.
    std::u16string claimedPath(std::size_t slot) const {
        return normalizeManifestPath(asString(document_.stringAt(offsets_[slot])));
    }

    const JsonDocument& document_;
    std::vector<std::uint16_t> tags_;     // a claimed slot's upper sixteen bits of the hash, never freeSlot
    std::vector<std::uint32_t> offsets_;  // where a claimed slot's path stands in the document
};

Sha256 digestField(const JsonValue& field) {
    const JsonValue& text = requireString(requireField(field));
    const std::optional<std::string_view> ascii = text.plainAsciiText();
    return ascii ? sha256FromHex(*ascii) : sha256FromHex(text.stringValue());
}

void readReplacement(const EntryFields& fields, ManifestFile& file) {
    file.action = FileAction::Replace;
    stringField(fields[urlField], file.url);
    file.size = asUnsigned(requireField(fields[sizeField]));
    file.sha256 = digestField(fields[sha256Field]);
    stringField(fields[roleField], file.role);
    checkFileUrl(file.url);
    checkLabel(file.role, maxRoleUnits, roleMessage);
    if (file.size > maxFileSize) throw PatchError(fileSizeMessage);
}

// Reads the entry into `file`, reusing the room its strings have; the target is claimed as soon as
// its path is known.
void readFileEntry(const JsonValue& entry, ManifestFile& file, TargetClaims& claimed) {
    const JsonMembers members = asObject(entry);
    const EntryFields fields = bindFields(members, entryKeys);
    const JsonValue& action = requireString(requireField(fields[actionField]));
    stringField(fields[pathField], file.path);
    file.path = normalizeManifestPath(std::move(file.path));
    claimed.claim(fields[pathField], file.path);
    if (action.equalsAscii("replace")) {
        readReplacement(fields, file);
    } else if (action.equalsAscii("delete")) {
        file.action = FileAction::Delete;
        if (members.size() != 2) throw PatchError(deleteMembersMessage);
    } else {
        throw PatchError(unknownActionMessage);
    }
}

// What a reading keeps of the file list: parseManifest all of it; checkManifest, which gives only
// the verdict, nothing, reading every entry into one ManifestFile whose strings keep their room.
enum class FileList { keep, checkOnly };

std::vector<ManifestFile> readFiles(const JsonDocument& document, const JsonValue& field, FileList list) {
    const JsonItems entries = asArray(requireField(field));
    if (entries.empty() || entries.size() > maxFileEntries) throw PatchError(fileCountMessage);
    TargetClaims claimed(document, entries.size());
    std::vector<ManifestFile> files;
    if (list == FileList::checkOnly) {
        ManifestFile file;
        for (const JsonValue& entry : entries) readFileEntry(entry, file, claimed);
        return files;
    }
    files.reserve(entries.size());
    for (const JsonValue& entry : entries) readFileEntry(entry, files.emplace_back(), claimed);
    return files;
}

Manifest readManifest(std::span<const unsigned char> bytes, FileList list) {
    if (bytes.empty() || bytes.size() > maxManifestBytes) throw PatchError(sizeMessage);
    const JsonDocument document = parseJson(bytes);
    const auto fields = bindFields(asObject(document.root()), rootKeys);

    Manifest manifest;
    manifest.schemaVersion = asUnsigned(requireField(fields[schemaVersionField]));
    manifest.releaseId = stringField(fields[releaseIdField]);
    manifest.publishedAt = stringField(fields[publishedAtField]);
    manifest.keyId = stringField(fields[keyIdField]);
    manifest.minimumUpdaterVersion = stringField(fields[updaterVersionField]);
    manifest.launchExecutable = normalizeManifestPath(stringField(fields[launchExecutableField]));

    if (manifest.schemaVersion != 1) throw PatchError(schemaVersionMessage);
    checkIdentifier(manifest.releaseId, maxReleaseIdUnits, releaseIdMessage);
    checkLabel(manifest.publishedAt, maxPublishedAtUnits, publishedAtMessage);
    if (manifest.keyId != manifestKeyId) throw PatchError(keyIdMessage);
    checkIdentifier(manifest.minimumUpdaterVersion, maxUpdaterVersionUnits, updaterVersionMessage);

    manifest.files = readFiles(document, fields[filesField], list);
    // The updater starts the game from the top of the installation folder and nowhere else.
    if (!isSameTarget(manifest.launchExecutable, launchExecutableTarget)) throw PatchError(launchExecutableMessage);
    return manifest;
}

}  // namespace

Manifest parseManifest(std::span<const unsigned char> bytes) { return readManifest(bytes, FileList::keep); }

void checkManifest(std::span<const unsigned char> bytes) { readManifest(bytes, FileList::checkOnly); }

veskcheck::FailureCategory verifyManifest(std::span<const unsigned char> manifest,
                                          std::span<const unsigned char> signature) {
    // Nothing is parsed before the bytes are known to come from the publisher.
    if (!verifyManifestSignature(manifest, signature)) return veskcheck::FailureCategory::SignatureInvalid;
    try {
        checkManifest(manifest);
    } catch (const PatchError&) {
        return veskcheck::FailureCategory::ManifestInvalid;
    }
    return veskcheck::FailureCategory::Ok;
}

void checkFileUrl(std::u16string_view url) {
    // Without ':' there is no scheme or port, without '?' and '#' no query or fragment, and
    // without a leading '/' the URL stays below the manifest's own base on the update CDN.
    // A delimiter anywhere outranks a bad segment before it.
    if (url.empty() || url.size() > maxUrlUnits || url.front() == u'/' || anyUnit(url, matchUrlDelimiter))
        throw PatchError(urlFormMessage);
    if (mayHoldBadSegment(url)) {
        forEachSegment(url, u'/', [](std::u16string_view segment) {
            if (isEmptyOrDotSegment(segment)) throw PatchError(urlSegmentMessage);
        });
    }
}

}  // namespace veskpatch
