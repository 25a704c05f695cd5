#include "patch/manifest.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "patch_expect.h"
#include "test_data.h"

namespace veskpatch {
namespace {

using veskcheck::FailureCategory;
using vesktest::bytesOf;
using vesktest::expectPatchError;

constexpr char missingField[] = "JSON 缺少必需字段。";
constexpr char unknownField[] = "JSON 包含未知字段。";
constexpr char notString[] = "JSON 字段不是字符串。";
constexpr char notUnsigned[] = "JSON 字段不是非负整数。";
constexpr char notObject[] = "JSON 字段不是对象。";
constexpr char notArray[] = "JSON 字段不是数组。";
constexpr char sizeLimit[] = "清单为空或超过 16 MiB 上限。";
constexpr char badSchemaVersion[] = "不支持的清单版本。";
constexpr char badReleaseId[] = "发布编号格式无效。";
constexpr char badPublishedAt[] = "发布时间格式无效。";
constexpr char badKeyId[] = "清单 keyId 与内嵌发布公钥不一致。";
constexpr char badUpdaterVersion[] = "最低更新器版本格式无效。";
constexpr char badFileCount[] = "清单文件数量无效。";
constexpr char protectedTarget[] = "当前清单不得更新更新器本身或内部事务目录。";
constexpr char duplicateTarget[] = "清单包含重复目标路径。";
constexpr char badUrlForm[] = "文件 URL 必须是无查询参数的 CDN 相对路径。";
constexpr char badUrlSegment[] = "文件 URL 包含不安全路径段。";
constexpr char badRole[] = "文件角色格式无效。";
constexpr char oversizedFile[] = "单个更新文件超过 1 TiB 安全上限。";
constexpr char deleteMembers[] = "删除项目只能包含 action 和 path。";
constexpr char unknownAction[] = "清单包含未知文件操作。";
constexpr char wrongLaunch[] = "启动程序必须固定为 Vesk.exe。";
constexpr char pathAbsolute[] = "清单路径不得是绝对路径、UNC 路径或 ADS。";
constexpr char pathSegment[] = "清单路径包含空段、点段或上级目录。";
constexpr char pathReserved[] = "清单路径包含 Windows 保留名称或尾随点/空格。";
constexpr char hexLength[] = "SHA-256 文本长度必须是 64。";
constexpr char hexDigit[] = "SHA-256 包含非十六进制字符。";

constexpr char digestText[] = "00112233445566778899AABBCCDDEEFF00112233445566778899aabbccddeeff";

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// The text of a JSON object whose members are raw JSON texts, in the order given, so that a row can
// put a value of any kind, or a broken one, under any key.
class ObjectText {
public:
    ObjectText(std::initializer_list<std::pair<std::string, std::string>> members) : members_(members) {}

    // A copy with `key` holding `raw` (replaced in place, or added at the end).
    ObjectText with(const std::string& key, const std::string& raw) const {
        ObjectText copy = *this;
        for (auto& member : copy.members_)
            if (member.first == key) {
                member.second = raw;
                return copy;
            }
        copy.members_.emplace_back(key, raw);
        return copy;
    }

    ObjectText without(const std::string& key) const {
        ObjectText copy = *this;
        std::erase_if(copy.members_, [&](const auto& member) { return member.first == key; });
        return copy;
    }

    std::string text() const {
        std::string out = "{";
        for (const auto& [key, raw] : members_) out += (out.size() > 1 ? "," : "") + quoted(key) + ":" + raw;
        return out + "}";
    }

private:
    std::vector<std::pair<std::string, std::string>> members_;
};

ObjectText deleteEntry(const std::string& path) { return {{"action", quoted("delete")}, {"path", quoted(path)}}; }

ObjectText replaceEntry(const std::string& path = "data/a.pak") {
    return {{"action", quoted("replace")},  {"path", quoted(path)},  {"url", quoted("files/a.pak")}, {"size", "10"},
            {"sha256", quoted(digestText)}, {"role", quoted("data")}};
}

std::string filesOf(const std::vector<ObjectText>& entries) {
    std::string out = "[";
    for (const auto& entry : entries) out += (out.size() > 1 ? "," : "") + entry.text();
    return out + "]";
}

ObjectText minimalManifest() {
    return {{"schemaVersion", "1"},
            {"releaseId", quoted("r1")},
            {"publishedAt", quoted("2026-12-01T00:00:00Z")},
            {"keyId", quoted("vesk-integrity-r2")},
            {"minimumUpdaterVersion", quoted("1.0")},
            {"launchExecutable", quoted("Vesk.exe")},
            {"files", filesOf({deleteEntry("old.dat")})}};
}

ObjectText manifestWithFiles(const std::vector<ObjectText>& entries) {
    return minimalManifest().with("files", filesOf(entries));
}

Manifest parseText(const std::string& json) { return parseManifest(bytesOf(json)); }

// One row: a manifest text and the message it must be refused with, or nullptr when it is valid.
struct ManifestCase {
    const char* what;
    std::string json;
    const char* error;
};

// checkManifest, which keeps nothing it reads, must give every row the same verdict.
void expectCases(const std::vector<ManifestCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.error) {
            expectPatchError([&] { parseText(c.json); }, c.error);
            expectPatchError([&] { checkManifest(bytesOf(c.json)); }, c.error);
        } else {
            EXPECT_NO_THROW(parseText(c.json));
            EXPECT_NO_THROW(checkManifest(bytesOf(c.json)));
        }
    }
}

std::string repeated(char unit, std::size_t count) { return std::string(count, unit); }

TEST(ParseManifest, ReadsEveryFieldOfAValidManifest) {
    const Manifest manifest =
        parseText(minimalManifest()
                      .with("launchExecutable", quoted("vesk.EXE"))
                      .with("files", filesOf({replaceEntry("Data/ui\\\\A.pak"), deleteEntry("old/b.dat")}))
                      .text());
    EXPECT_EQ(manifest.schemaVersion, 1u);
    EXPECT_EQ(manifest.releaseId, u"r1");
    EXPECT_EQ(manifest.publishedAt, u"2026-12-01T00:00:00Z");
    EXPECT_EQ(manifest.keyId, u"vesk-integrity-r2");
    EXPECT_EQ(manifest.minimumUpdaterVersion, u"1.0");
    EXPECT_EQ(manifest.launchExecutable, u"vesk.EXE");
    ASSERT_EQ(manifest.files.size(), 2u);

    const ManifestFile& replaced = manifest.files[0];
    EXPECT_EQ(replaced.action, FileAction::Replace);
    EXPECT_EQ(replaced.path, u"Data\\ui\\A.pak");
    EXPECT_EQ(replaced.url, u"files/a.pak");
    EXPECT_EQ(replaced.size, 10u);
    EXPECT_EQ(replaced.sha256, sha256FromHex(u"00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF"));
    EXPECT_EQ(replaced.role, u"data");

    const ManifestFile& deleted = manifest.files[1];
    EXPECT_EQ(deleted.action, FileAction::Delete);
    EXPECT_EQ(deleted.path, u"old\\b.dat");
    EXPECT_TRUE(deleted.url.empty());
    EXPECT_EQ(deleted.size, 0u);
    EXPECT_EQ(deleted.sha256, Sha256{});
    EXPECT_TRUE(deleted.role.empty());
}

TEST(ParseManifest, BoundsTheDocumentSizeBeforeReadingIt) {
    // Whitespace after the object keeps the document valid at any length.
    std::string largest = minimalManifest().text();
    largest.resize(16777216, ' ');
    EXPECT_NO_THROW(parseText(largest));
    expectPatchError([&] { parseText(largest + " "); }, sizeLimit);
    expectPatchError([] { parseManifest({}); }, sizeLimit);
}

TEST(ParseManifest, RefusesDocumentsThatAreNotAManifestObject) {
    expectCases({
        {"not JSON", "{\"schemaVersion\":1,", "JSON 对象键必须是字符串。"},
        {"BOM", "\xEF\xBB\xBF" + minimalManifest().text(), "JSON 不允许 UTF-8 BOM。"},
        {"array root", "[" + minimalManifest().text() + "]", notObject},
        {"string root", quoted("manifest"), notObject},
        {"unknown key", minimalManifest().with("comment", quoted("x")).text(), unknownField},
        {"key differing in case", minimalManifest().without("keyId").with("keyID", quoted("vesk-integrity-r2")).text(),
         unknownField},
        {"unknown beats missing", minimalManifest().without("releaseId").with("extra", "1").text(), unknownField},
        {"missing key", minimalManifest().without("publishedAt").text(), missingField},
        {"missing files", minimalManifest().without("files").text(), missingField},
    });
}

TEST(ParseManifest, AppliesTheHeaderFieldRules) {
    const ObjectText base = minimalManifest();
    expectCases({
        {"schemaVersion 2", base.with("schemaVersion", "2").text(), badSchemaVersion},
        {"schemaVersion 0", base.with("schemaVersion", "0").text(), badSchemaVersion},
        {"schemaVersion as text", base.with("schemaVersion", quoted("1")).text(), notUnsigned},

        {"releaseId full alphabet", base.with("releaseId", quoted("AZaz09._-")).text(), nullptr},
        {"releaseId 64 units", base.with("releaseId", quoted(repeated('r', 64))).text(), nullptr},
        {"releaseId 65 units", base.with("releaseId", quoted(repeated('r', 65))).text(), badReleaseId},
        {"releaseId empty", base.with("releaseId", quoted("")).text(), badReleaseId},
        {"releaseId space", base.with("releaseId", quoted("r 1")).text(), badReleaseId},
        {"releaseId slash", base.with("releaseId", quoted("r/1")).text(), badReleaseId},
        {"releaseId full-width digit", base.with("releaseId", quoted("r１")).text(), badReleaseId},
        {"releaseId as number", base.with("releaseId", "1").text(), notString},

        {"publishedAt free text", base.with("publishedAt", quoted("2026年12月1日 上午")).text(), nullptr},
        {"publishedAt 64 units", base.with("publishedAt", quoted(repeated('t', 64))).text(), nullptr},
        {"publishedAt 65 units", base.with("publishedAt", quoted(repeated('t', 65))).text(), badPublishedAt},
        {"publishedAt empty", base.with("publishedAt", quoted("")).text(), badPublishedAt},
        {"publishedAt tab", base.with("publishedAt", quoted("2026-12-01\\t00:00")).text(), badPublishedAt},
        {"publishedAt DEL", base.with("publishedAt", quoted("2026\\u007F")).text(), nullptr},

        {"keyId upper case", base.with("keyId", quoted("VESK-INTEGRITY-R2")).text(), badKeyId},
        {"keyId older key", base.with("keyId", quoted("vesk-integrity-r1")).text(), badKeyId},
        {"keyId trailing space", base.with("keyId", quoted("vesk-integrity-r2 ")).text(), badKeyId},

        {"updater version 32 units", base.with("minimumUpdaterVersion", quoted(repeated('9', 32))).text(), nullptr},
        {"updater version 33 units", base.with("minimumUpdaterVersion", quoted(repeated('9', 33))).text(),
         badUpdaterVersion},
        {"updater version empty", base.with("minimumUpdaterVersion", quoted("")).text(), badUpdaterVersion},
        {"updater version comma", base.with("minimumUpdaterVersion", quoted("1,0")).text(), badUpdaterVersion},

        {"launch in other case", base.with("launchExecutable", quoted("vesk.EXE")).text(), nullptr},
        {"launch in a folder", base.with("launchExecutable", quoted("bin/Vesk.exe")).text(), wrongLaunch},
        {"launch other name", base.with("launchExecutable", quoted("Vesk2.exe")).text(), wrongLaunch},
        {"launch trailing space", base.with("launchExecutable", quoted("Vesk.exe ")).text(), pathReserved},
        {"launch absolute", base.with("launchExecutable", quoted("C:/Vesk.exe")).text(), pathAbsolute},

        {"no files", base.with("files", "[]").text(), badFileCount},
        {"files as object", base.with("files", deleteEntry("old.dat").text()).text(), notArray},
    });
}

TEST(ParseManifest, ReportsTheFirstBrokenRuleInReadingOrder) {
    const ObjectText base = minimalManifest();
    expectCases({
        {"launch path before schemaVersion",
         base.with("schemaVersion", "2").with("launchExecutable", quoted("a//Vesk.exe")).text(), pathSegment},
        {"missing keyId before schemaVersion", base.with("schemaVersion", "2").without("keyId").text(), missingField},
        {"schemaVersion before releaseId", base.with("schemaVersion", "2").with("releaseId", quoted("")).text(),
         badSchemaVersion},
        {"releaseId before publishedAt", base.with("releaseId", quoted("")).with("publishedAt", quoted("")).text(),
         badReleaseId},
        {"publishedAt before keyId", base.with("publishedAt", quoted("")).with("keyId", quoted("x")).text(),
         badPublishedAt},
        {"keyId before updater version",
         base.with("keyId", quoted("x")).with("minimumUpdaterVersion", quoted("")).text(), badKeyId},
        {"updater version before missing files", base.with("minimumUpdaterVersion", quoted("")).without("files").text(),
         badUpdaterVersion},
        {"header before entries", base.with("keyId", quoted("x")).with("files", "[1]").text(), badKeyId},
        {"entries before launch executable",
         base.with("launchExecutable", quoted("bin/Vesk.exe"))
             .with("files", filesOf({deleteEntry("a"), deleteEntry("A")}))
             .text(),
         duplicateTarget},
    });
}

TEST(ParseManifest, AppliesTheEntryRules) {
    const ObjectText replace = replaceEntry();
    const auto one = [](const ObjectText& entry) { return manifestWithFiles({entry}).text(); };
    expectCases({
        {"entry not an object", minimalManifest().with("files", "[\"old.dat\"]").text(), notObject},
        {"unknown entry key", one(replace.with("mode", "1")), unknownField},
        {"missing action", one(replace.without("action")), missingField},
        {"missing path", one(replace.without("path")), missingField},
        {"action as number", one(replace.with("action", "0")), notString},
        {"action in capitals", one(replace.with("action", quoted("Replace"))), unknownAction},
        {"action other word", one(replace.with("action", quoted("rename"))), unknownAction},
        {"entry path rules", one(replace.with("path", quoted("../a.pak"))), pathSegment},

        {"replace without role", one(replace.without("role")), missingField},
        {"replace without url", one(replace.without("url")), missingField},
        {"replace without size", one(replace.without("size")), missingField},
        {"replace without sha256", one(replace.without("sha256")), missingField},
        {"size as text", one(replace.with("size", quoted("10"))), notUnsigned},
        {"negative size", one(replace.with("size", "-1")), "JSON 包含不支持的值。"},
        {"size 0", one(replace.with("size", "0")), nullptr},
        {"size 1 TiB", one(replace.with("size", "1099511627776")), nullptr},
        {"size over 1 TiB", one(replace.with("size", "1099511627777")), oversizedFile},
        {"size 2^64-1", one(replace.with("size", "18446744073709551615")), oversizedFile},
        {"sha256 63 digits", one(replace.with("sha256", quoted(repeated('a', 63)))), hexLength},
        {"sha256 non-hex", one(replace.with("sha256", quoted(repeated('a', 10) + "G" + repeated('a', 53)))), hexDigit},
        {"role 32 units", one(replace.with("role", quoted(repeated('r', 32)))), nullptr},
        {"role 33 units", one(replace.with("role", quoted(repeated('r', 33)))), badRole},
        {"role empty", one(replace.with("role", quoted(""))), badRole},
        {"role line break", one(replace.with("role", quoted("a\\nb"))), badRole},
        {"role with spaces and CJK", one(replace.with("role", quoted("界面 资源"))), nullptr},
        {"url rules applied", one(replace.with("url", quoted("/files/a.pak"))), badUrlForm},

        {"delete with role", one(deleteEntry("old.dat").with("role", quoted("data"))), deleteMembers},
        {"delete with url", one(deleteEntry("old.dat").with("url", quoted("files/a.pak"))), deleteMembers},
    });
}

TEST(ParseManifest, ProtectsTheUpdaterAndItsTransactionDirectory) {
    const auto target = [](const std::string& path) { return manifestWithFiles({deleteEntry(path)}).text(); };
    expectCases({
        {"updater", target("VeskAutoPatch.exe"), protectedTarget},
        {"updater lower case", target("veskautopatch.exe"), protectedTarget},
        {"updater helper", target("VeskAutoPatch.Helper.exe"), protectedTarget},
        {"transaction directory", target(".vesk-update"), protectedTarget},
        {"inside transaction directory", target(".vesk-update/journal.bin"), protectedTarget},
        {"inside, backslash", target(".VESK-UPDATE\\\\a\\\\b"), protectedTarget},
        {"replace of the updater", manifestWithFiles({replaceEntry("VeskAutoPatch.exe")}).text(), protectedTarget},
        {"directory of that name deeper down", target("x/.vesk-update"), nullptr},
        {"updater name deeper down", target("tools/VeskAutoPatch.exe"), nullptr},
        {"longer directory name", target(".vesk-updates/a"), nullptr},
        {"updater name as a prefix", target("VeskAutoPatch.exe.bak"), nullptr},
    });
}

TEST(ParseManifest, RefusesTwoEntriesForOneTarget) {
    expectCases({
        {"same path in other case and separators",
         manifestWithFiles({deleteEntry("Data/A.pak"), deleteEntry("data\\\\a.PAK")}).text(), duplicateTarget},
        {"replace and delete", manifestWithFiles({replaceEntry("a.pak"), deleteEntry("A.PAK")}).text(),
         duplicateTarget},
        {"non-ASCII letters are not folded", manifestWithFiles({deleteEntry("ä.txt"), deleteEntry("Ä.txt")}).text(),
         nullptr},
        // The first claim is read again from the document to settle the match: escapes and all.
        {"first spelled with escapes",
         manifestWithFiles({deleteEntry("数据\\/A\\u002Epak"), deleteEntry("数据/a.PAK")}).text(), duplicateTarget},
        {"same name in two folders", manifestWithFiles({deleteEntry("a/x"), deleteEntry("b/x")}).text(), nullptr},
    });
}

TEST(ParseManifest, ChecksEachEntryInTheDocumentedOrder) {
    const ObjectText replace = replaceEntry();
    const auto one = [](const ObjectText& entry) { return manifestWithFiles({entry}).text(); };
    expectCases({
        {"unknown key before missing path", one(replace.without("path").with("mode", "1")), unknownField},
        {"path before unknown action", one(replace.with("action", quoted("move")).with("path", quoted("a:b"))),
         pathAbsolute},
        {"protected before duplicate",
         manifestWithFiles({deleteEntry(".vesk-update"), deleteEntry(".vesk-update")}).text(), protectedTarget},
        {"duplicate before unknown action",
         manifestWithFiles({deleteEntry("a.pak"), replace.with("path", quoted("A.pak")).with("action", quoted("move"))})
             .text(),
         duplicateTarget},
        {"duplicate before delete members",
         manifestWithFiles({deleteEntry("a.pak"), deleteEntry("a.pak").with("role", quoted("x"))}).text(),
         duplicateTarget},
        {"missing role before url", one(replace.without("role").with("url", quoted("/a"))), missingField},
        {"sha256 before url", one(replace.with("sha256", quoted("00")).with("url", quoted("/a"))), hexLength},
        {"url before role", one(replace.with("url", quoted("a//b")).with("role", quoted(""))), badUrlSegment},
        {"role before size", one(replace.with("role", quoted("")).with("size", "1099511627777")), badRole},
        {"earlier entry first", manifestWithFiles({replace.with("role", quoted("")), deleteEntry("CON")}).text(),
         badRole},
    });
}

TEST(ParseManifest, AcceptsTheLargestEntryCount) {
    const auto manifestOfDeletes = [](int count) {
        std::string files = "[";
        for (int i = 0; i < count; ++i) files += (i ? "," : "") + deleteEntry("f/" + std::to_string(i)).text();
        return minimalManifest().with("files", files + "]").text();
    };
    EXPECT_EQ(parseText(manifestOfDeletes(200000)).files.size(), 200000u);
    // The JSON reader's array limit is the same number, so it speaks first.
    expectPatchError([&] { parseText(manifestOfDeletes(200001)); }, "JSON 数组项目过多。");
}

TEST(CheckFileUrl, AcceptsOnlyPlainRelativeCdnPaths) {
    struct Case {
        std::u16string url;
        const char* error;
    };
    const Case cases[] = {
        {u"files/a.pak", nullptr},
        {u"a", nullptr},
        {u"files/a%2F..%20b/ü.pak", nullptr},
        {u"files/..a/a../.x", nullptr},
        {u"f/" + std::u16string(2046, u'x'), nullptr},
        {u"f/" + std::u16string(2047, u'x'), badUrlForm},
        {u"", badUrlForm},
        {u"/files/a.pak", badUrlForm},
        {u"\\files\\a.pak", badUrlForm},
        {u"files\\a.pak", badUrlForm},
        {u"files/a.pak?x=1", badUrlForm},
        {u"files/a.pak#top", badUrlForm},
        {u"https://cdn.example/files/a.pak", badUrlForm},
        {u"//cdn.example/files/a.pak", badUrlForm},
        {u"files//a.pak", badUrlSegment},
        {u"files/../a.pak", badUrlSegment},
        {u"./a.pak", badUrlSegment},
        {u"files/a.pak/", badUrlSegment},
        {u"files/.", badUrlSegment},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(vesktest::toUtf8(c.url));
        if (c.error) expectPatchError([&] { checkFileUrl(c.url); }, c.error);
        else EXPECT_NO_THROW(checkFileUrl(c.url));
    }
}

// Fixtures signed with tests/keys/manifest-test.key.pem, the key the test build embeds.
TEST(VerifyManifest, ChecksTheSignatureBeforeTheContent) {
    const auto minimal = vesktest::readTestFile("minimal-manifest.json");
    const auto minimalSignature = vesktest::readTestFile("minimal-manifest.json.sig");
    const auto broken = vesktest::readTestFile("broken-manifest.json");
    const auto brokenSignature = vesktest::readTestFile("broken-manifest.json.sig");
    auto changed = minimal;
    changed[changed.size() / 2] ^= 0x01;

    struct Case {
        const char* what;
        std::vector<unsigned char> manifest;
        std::vector<unsigned char> signature;
        FailureCategory expected;
    };
    const Case cases[] = {
        {"minimal valid manifest", minimal, minimalSignature, FailureCategory::Ok},
        {"one byte changed", changed, minimalSignature, FailureCategory::SignatureInvalid},
        {"signed broken JSON", broken, brokenSignature, FailureCategory::ManifestInvalid},
        {"broken JSON, other signature", broken, minimalSignature, FailureCategory::SignatureInvalid},
        {"no signature", minimal, {}, FailureCategory::SignatureInvalid},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(verifyManifest(c.manifest, c.signature), c.expected);
    }
}

}  // namespace
}  // namespace veskpatch
