#include "oracle/manifest.h"

#include <algorithm>
#include <set>

#include "oracle/json_reader.h"
#include "patch/manifest_key.h"
#include "oracle/manifest_path.h"
#include "patch/patch_error.h"

namespace veskoracle {

using veskpatch::FileAction;
using veskpatch::Manifest;
using veskpatch::ManifestFile;
using veskpatch::manifestKeyId;
using veskpatch::maxFileEntries;
using veskpatch::maxManifestBytes;
using veskpatch::PatchError;
using veskpatch::sha256FromHex;

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

// Comparison keys (see pathCompareKey) of the targets a manifest may never touch.
constexpr std::u16string_view updaterKey = u"VESKAUTOPATCH.EXE";
constexpr std::u16string_view updaterHelperKey = u"VESKAUTOPATCH.HELPER.EXE";
constexpr std::u16string_view transactionDirKey = u".VESK-UPDATE";
constexpr std::u16string_view transactionDirContentPrefix = u".VESK-UPDATE\\";
constexpr std::u16string_view launchExecutableKey = u"VESK.EXE";

using TargetKeys = std::set<std::u16string>;

bool isIdentifierUnit(char16_t unit) {
    return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z') || (unit >= u'0' && unit <= u'9') ||
           unit == u'.' || unit == u'_' || unit == u'-';
}

bool isControlUnit(char16_t unit) { return unit < 0x20; }

bool isUrlDelimiter(char16_t unit) { return unit == u':' || unit == u'\\' || unit == u'?' || unit == u'#'; }

// Release ids and updater versions: a short run of letters, digits, '.', '_' and '-'.
void checkIdentifier(std::u16string_view text, std::size_t maxUnits, const char* message) {
    if (text.empty() || !std::ranges::all_of(text, isIdentifierUnit) || text.size() > maxUnits)
        throw PatchError(message);
}

// Free labels: any text of bounded length that cannot break a line of a log or a report.
void checkLabel(std::u16string_view text, std::size_t maxUnits, const char* message) {
    if (text.empty() || text.size() > maxUnits || std::ranges::any_of(text, isControlUnit)) throw PatchError(message);
}

const std::u16string& stringField(const JsonMembers& members, const char16_t* key) {
    return asString(requireField(members, key));
}

bool isProtectedTarget(std::u16string_view key) {
    return key == updaterKey || key == updaterHelperKey || key == transactionDirKey ||
           key.starts_with(transactionDirContentPrefix);
}

// Each target may appear once, whatever the action, so the updater never has to decide between
// two instructions for one file.
void claimTarget(std::u16string key, TargetKeys& claimed) {
    if (isProtectedTarget(key)) throw PatchError(protectedTargetMessage);
    if (!claimed.insert(std::move(key)).second) throw PatchError(duplicateTargetMessage);
}

void readReplacement(const JsonMembers& members, ManifestFile& file) {
    file.action = FileAction::Replace;
    file.url = stringField(members, u"url");
    file.size = asUnsigned(requireField(members, u"size"));
    file.sha256 = sha256FromHex(stringField(members, u"sha256"));
    file.role = stringField(members, u"role");
    checkFileUrl(file.url);
    checkLabel(file.role, maxRoleUnits, roleMessage);
    if (file.size > maxFileSize) throw PatchError(fileSizeMessage);
}

ManifestFile readFileEntry(const JsonValue& entry, TargetKeys& claimed) {
    const JsonMembers& members = asObject(entry);
    rejectUnknownFields(members, {u"action", u"path", u"url", u"size", u"sha256", u"role"});
    const std::u16string& action = stringField(members, u"action");
    ManifestFile file;
    file.path = normalizeManifestPath(stringField(members, u"path"));
    claimTarget(pathCompareKey(file.path), claimed);
    if (action == u"replace") {
        readReplacement(members, file);
    } else if (action == u"delete") {
        file.action = FileAction::Delete;
        if (members.size() != 2) throw PatchError(deleteMembersMessage);
    } else {
        throw PatchError(unknownActionMessage);
    }
    return file;
}

std::vector<ManifestFile> readFiles(const JsonMembers& root) {
    const JsonItems& entries = asArray(requireField(root, u"files"));
    if (entries.empty() || entries.size() > maxFileEntries) throw PatchError(fileCountMessage);
    std::vector<ManifestFile> files;
    files.reserve(entries.size());
    TargetKeys claimed;
    for (const JsonValue& entry : entries) files.push_back(readFileEntry(entry, claimed));
    return files;
}

}  // namespace

Manifest parseManifest(std::span<const unsigned char> bytes) {
    if (bytes.empty() || bytes.size() > maxManifestBytes) throw PatchError(sizeMessage);
    const JsonValue document = parseJson(bytes);
    const JsonMembers& root = asObject(document);
    rejectUnknownFields(root, {u"schemaVersion", u"releaseId", u"publishedAt", u"keyId", u"minimumUpdaterVersion",
                               u"launchExecutable", u"files"});

    Manifest manifest;
    manifest.schemaVersion = asUnsigned(requireField(root, u"schemaVersion"));
    manifest.releaseId = stringField(root, u"releaseId");
    manifest.publishedAt = stringField(root, u"publishedAt");
    manifest.keyId = stringField(root, u"keyId");
    manifest.minimumUpdaterVersion = stringField(root, u"minimumUpdaterVersion");
    manifest.launchExecutable = normalizeManifestPath(stringField(root, u"launchExecutable"));

    if (manifest.schemaVersion != 1) throw PatchError(schemaVersionMessage);
    checkIdentifier(manifest.releaseId, maxReleaseIdUnits, releaseIdMessage);
    checkLabel(manifest.publishedAt, maxPublishedAtUnits, publishedAtMessage);
    if (manifest.keyId != manifestKeyId) throw PatchError(keyIdMessage);
    checkIdentifier(manifest.minimumUpdaterVersion, maxUpdaterVersionUnits, updaterVersionMessage);

    manifest.files = readFiles(root);
    // The updater starts the game from the top of the installation folder and nowhere else.
    if (pathCompareKey(manifest.launchExecutable) != launchExecutableKey) throw PatchError(launchExecutableMessage);
    return manifest;
}

void checkFileUrl(std::u16string_view url) {
    // Without ':' there is no scheme or port, without '?' and '#' no query or fragment, and
    // without a leading '/' the URL stays below the manifest's own base on the update CDN.
    if (url.empty() || url.size() > maxUrlUnits || url.front() == u'/' || std::ranges::any_of(url, isUrlDelimiter))
        throw PatchError(urlFormMessage);
    forEachSegment(url, u'/', [](std::u16string_view segment) {
        if (isEmptyOrDotSegment(segment)) throw PatchError(urlSegmentMessage);
    });
}

}  // namespace veskoracle
