#include "patch/json_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "patch_expect.h"

namespace veskpatch {
namespace {

using namespace std::string_literals;
using vesktest::bytesOf;
using vesktest::expectPatchError;
using vesktest::toUtf8;

constexpr char invalidUtf8[] = "JSON 不是有效的 UTF-8。";
constexpr char bom[] = "JSON 不允许 UTF-8 BOM。";
constexpr char trailing[] = "JSON 尾部包含多余数据。";
constexpr char tooDeep[] = "JSON 嵌套层级过深。";
constexpr char unexpectedEnd[] = "JSON 意外结束。";
constexpr char unsupported[] = "JSON 包含不支持的值。";
constexpr char badLiteral[] = "JSON 字面值无效。";
constexpr char leadingZero[] = "JSON 数字不允许前导零。";
constexpr char outOfRange[] = "JSON 整数超出 64 位范围。";
constexpr char floatNumber[] = "JSON 清单不允许浮点数。";
constexpr char unterminated[] = "JSON 字符串没有结束引号。";
constexpr char control[] = "JSON 字符串包含控制字符。";
constexpr char incompleteEscape[] = "JSON 转义不完整。";
constexpr char invalidEscape[] = "JSON 包含无效转义。";
constexpr char incompleteUnicode[] = "JSON Unicode 转义不完整。";
constexpr char nonHex[] = "JSON Unicode 转义包含非十六进制字符。";
constexpr char missingLow[] = "JSON Unicode 高代理项缺少低代理项。";
constexpr char badPair[] = "JSON Unicode 代理项配对无效。";
constexpr char loneLow[] = "JSON Unicode 低代理项没有对应高代理项。";
constexpr char tooManyItems[] = "JSON 数组项目过多。";
constexpr char punctuation[] = "JSON 标点不完整。";
constexpr char keyNotString[] = "JSON 对象键必须是字符串。";
constexpr char duplicateKey[] = "JSON 对象包含重复键。";
constexpr char notObject[] = "JSON 字段不是对象。";
constexpr char notArray[] = "JSON 字段不是数组。";
constexpr char notString[] = "JSON 字段不是字符串。";
constexpr char notUnsigned[] = "JSON 字段不是非负整数。";
constexpr char missingField[] = "JSON 缺少必需字段。";
constexpr char unknownField[] = "JSON 包含未知字段。";

// Values refer to the text and to its document, so both stay until the tests end.
JsonValue parseText(std::string_view json) {
    static std::deque<std::string> texts;
    static std::deque<JsonDocument> documents;
    const std::string& text = texts.emplace_back(json);
    return documents.emplace_back(parseJson({reinterpret_cast<const unsigned char*>(text.data()), text.size()})).root();
}

std::vector<JsonValue> itemsOf(const JsonValue& array) {
    const JsonItems items = asArray(array);
    return {items.begin(), items.end()};
}

std::string repeat(std::string_view piece, std::size_t count) {
    std::string out;
    out.reserve(piece.size() * count);
    for (std::size_t i = 0; i < count; ++i) out += piece;
    return out;
}

// `levels` openings around `inner`, closed again.
std::string nest(std::string_view open, std::string_view inner, std::string_view close, std::size_t levels) {
    return repeat(open, levels) + std::string(inner) + repeat(close, levels);
}

// An array of `count` zeros.
std::string zeros(std::size_t count) { return "[" + repeat("0,", count - 1) + "0]"; }

// An object with the members "k0":0 to "k<count-1>":<count-1>, then `extra` before the brace.
std::string numberedObject(std::size_t count, std::string_view extra = "") {
    std::string out = "{";
    for (std::size_t i = 0; i < count; ++i) out += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":" + std::to_string(i);
    return out + std::string(extra) + "}";
}

struct FaultCase {
    std::string json;
    const char* error;
};

void expectFaults(const std::vector<FaultCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json.size() < 200 ? c.json : c.json.substr(0, 200) + "...");
        expectPatchError([&] { parseText(c.json); }, c.error);
    }
}

TEST(JsonReader, ReadsEveryKindAndLeavesTheOtherFieldsEmpty) {
    const JsonValue root =
        parseText(" \t\r\n{\"s\":\"x\",\"n\":42,\"t\":true,\"f\":false,\"z\":null,\"a\":[1,\"two\",[]],\"o\":{}} \r\n");
    ASSERT_EQ(root.kind(), JsonKind::Object);
    const JsonMembers members = root.members();
    ASSERT_EQ(members.size(), 7u);

    const JsonValue s = requireField(members, u"s");
    EXPECT_EQ(s.kind(), JsonKind::String);
    EXPECT_EQ(s.stringValue(), u"x");
    EXPECT_TRUE(s.members().empty());
    EXPECT_TRUE(s.items().empty());
    EXPECT_EQ(s.integerValue(), 0u);
    EXPECT_FALSE(s.booleanValue());

    const JsonValue n = requireField(members, u"n");
    EXPECT_EQ(n.kind(), JsonKind::Integer);
    EXPECT_EQ(n.integerValue(), 42u);
    EXPECT_TRUE(n.stringValue().empty());

    EXPECT_EQ(requireField(members, u"t").kind(), JsonKind::Boolean);
    EXPECT_TRUE(requireField(members, u"t").booleanValue());
    EXPECT_EQ(requireField(members, u"f").kind(), JsonKind::Boolean);
    EXPECT_FALSE(requireField(members, u"f").booleanValue());
    EXPECT_EQ(requireField(members, u"z").kind(), JsonKind::Null);

    EXPECT_EQ(requireField(members, u"a").items().size(), 3u);
    const std::vector<JsonValue> a = itemsOf(requireField(members, u"a"));
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0].integerValue(), 1u);
    EXPECT_EQ(a[1].stringValue(), u"two");
    EXPECT_EQ(a[2].kind(), JsonKind::Array);
    EXPECT_TRUE(a[2].items().empty());

    const JsonValue o = requireField(members, u"o");
    EXPECT_EQ(o.kind(), JsonKind::Object);
    EXPECT_TRUE(o.members().empty());
}

TEST(JsonReader, TakesAnyKindAsTheRoot) {
    const std::pair<const char*, JsonKind> cases[] = {
        {"0", JsonKind::Integer}, {"\"\"", JsonKind::String}, {"true", JsonKind::Boolean},
        {"null", JsonKind::Null}, {"[]", JsonKind::Array},    {" {} ", JsonKind::Object},
    };
    for (const auto& [json, kind] : cases) {
        SCOPED_TRACE(json);
        EXPECT_EQ(parseText(json).kind(), kind);
    }
}

TEST(JsonReader, ReadsIntegersUpTo64Bits) {
    const std::pair<const char*, std::uint64_t> cases[] = {
        {"0", 0},
        {"7", 7},
        {"4294967296", 4294967296u},
        {"18446744073709551609", 18446744073709551609u},
        {"18446744073709551615", 18446744073709551615u},
    };
    for (const auto& [json, value] : cases) {
        SCOPED_TRACE(json);
        EXPECT_EQ(asUnsigned(parseText(json)), value);
    }
}

TEST(JsonReader, DecodesStringsAndEscapes) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"\"\"", u""},
        {"\"plain text\"", u"plain text"},
        {"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", u"\"\\/\b\f\n\r\t"},
        {"\"a\\u0041b\\u00e9\\u00C9 tail\"", u"aAbéÉ tail"},
        {"\"\\u0000\"", std::u16string(1, u'\0')},
        {"\"\\uD83D\\uDE00\"", u"\xD83D\xDE00"},
        {"\"\xF0\x9F\x98\x80\"", u"\xD83D\xDE00"},
        {"\"\x7F\"", u"\x7F"},
        {"\"中文\\u4e2d\"", u"中文中"},
    };
    for (const auto& [json, text] : cases) {
        SCOPED_TRACE(json);
        EXPECT_EQ(asString(parseText(json)), text);
    }
}

// Every hex digit in every place of a Unicode escape, in both cases, and the characters just
// outside each digit range, which are refused.
TEST(JsonReader, ReadsEveryHexDigitOfAUnicodeEscape) {
    const std::string digits = "0123456789abcdefABCDEF";
    for (std::size_t place = 0; place < 4; ++place) {
        for (const char digit : digits) {
            std::string hex = "0000";
            hex[place] = digit;
            SCOPED_TRACE(hex);
            const char16_t unit = static_cast<char16_t>(std::stoul(hex, nullptr, 16));
            EXPECT_EQ(asString(parseText("\"\\u" + hex + "\"")), std::u16string(1, unit));
        }
        for (const char outside : std::string("/:@G`g")) {
            std::string hex = "0000";
            hex[place] = outside;
            expectPatchError([&] { parseText("\"\\u" + hex + "\""); }, nonHex);
        }
    }
}

TEST(JsonReader, JoinsSurrogatePairsAtTheEdgesOfTheirRanges) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"\"\\uD800\\uDC00\"", u"\xD800\xDC00"},
        {"\"\\uDBFF\\uDFFF\"", u"\xDBFF\xDFFF"},
        {"\"\\ud83d\\ude00\"", u"\xD83D\xDE00"},
        {"\"\\uDbFf\\udFfF\"", u"\xDBFF\xDFFF"},
    };
    for (const auto& [json, text] : cases) {
        SCOPED_TRACE(json);
        EXPECT_EQ(asString(parseText(json)), text);
    }
}

TEST(JsonReader, RefusesTextAndTokenFaults) {
    expectFaults({
        {"", unexpectedEnd},
        {" \r\n", unexpectedEnd},
        {"\xEF\xBB\xBF{}", bom},
        {" \xEF\xBB\xBF{}", unsupported},
        // Ill-formed UTF-8 is refused before parsing, even where the JSON fails too.
        {"[\"\xFF\"", invalidUtf8},
        {"{\"a\":\"\xED\xA0\x80\"}", invalidUtf8},
        {"{} x", trailing},
        {"{}\f", trailing},
        {"\f{}", unsupported},
        {"[1\f,2]", punctuation},
        {"[1,\f2]", unsupported},
        {"\xC2\xA0{}", unsupported},
        {"{}\xC2\xA0", trailing},
        {"\0"s, unsupported},
        {"-1", unsupported},
        {"+1", unsupported},
        {".5", unsupported},
        {"]", unsupported},
        {"}", unsupported},
        {",", unsupported},
        {":", unsupported},
        {"'a'", unsupported},
        {"True", unsupported},
        {"00", leadingZero},
        {"01", leadingZero},
        {"[0,01]", leadingZero},
        {"0 1", trailing},
        {"1.0", floatNumber},
        {"0.5", floatNumber},
        {"1e3", floatNumber},
        {"1E3", floatNumber},
        {"18446744073709551616", outOfRange},
        {"18446744073709551620", outOfRange},
        {"100000000000000000000", outOfRange},
        {"t", badLiteral},
        {"tru", badLiteral},
        {"trUe", badLiteral},
        {"fals", badLiteral},
        {"nul", badLiteral},
        {"nulL", badLiteral},
        {"truex", trailing},
        {"[truex]", punctuation},
    });
}

TEST(JsonReader, RefusesStringFaults) {
    expectFaults({
        {"\"", unterminated},
        {"\"abc", unterminated},
        {"\"a\\\"", unterminated},
        {"\"a\tb\"", control},
        {"\"a\nb\"", control},
        {"\"a\0b\""s, control},
        {"\"\\u0041\x1F\"", control},
        {"\"\\", incompleteEscape},
        {"\"\\'\"", invalidEscape},
        {"\"\\x41\"", invalidEscape},
        {"\"\\U0041\"", invalidEscape},
        {"\"\\u12\"", incompleteUnicode},
        {"\"\\u004", incompleteUnicode},
        {"\"\\u12G4\"", nonHex},
        {"\"\\u 123\"", nonHex},
        {"\"\\uD83D", missingLow},
        {"\"\\uD83D\"", missingLow},
        {"\"\\uD83Dx\"", missingLow},
        {"\"\\uD83D\\n\"", missingLow},
        {"\"\\uD83D\\u12\"", incompleteUnicode},
        {"\"\\uD83D\\uDE0G\"", nonHex},
        {"\"\\uD83D\\u0041\"", badPair},
        {"\"\\uD83D\\uD83D\"", badPair},
        {"\"\\uDE00\"", loneLow},
        {"\"\\uDFFF\"", loneLow},
    });
}

TEST(JsonReader, RefusesContainerFaults) {
    expectFaults({
        {"[", unexpectedEnd},
        {"[1,", unexpectedEnd},
        {"[1", punctuation},
        {"[1 2]", punctuation},
        {"[1;2]", punctuation},
        {"[1,]", unsupported},
        {"{", keyNotString},
        {"{ ", keyNotString},
        {"{\"a\":1,", keyNotString},
        {"{\"a\":1,}", keyNotString},
        {"{1:2}", keyNotString},
        {"{'a':1}", keyNotString},
        {"{\"a\"", punctuation},
        {"{\"a\" 1}", punctuation},
        {"{\"a\":1", punctuation},
        {"{\"a\":1 \"b\":2}", punctuation},
        {"{\"a\":", unexpectedEnd},
        {"{\"a\":}", unsupported},
        {"{\"a\":1,\"a\":2}", duplicateKey},
        {"{\"a\":1,\"\\u0061\":2}", duplicateKey},
        {"[{\"k\":1,\"j\":2,\"k\":3}]", duplicateKey},
        // The repeated key is reported where it is met: after its value, before anything later.
        {"{\"a\":1,\"a\":2,\"b\":x}", duplicateKey},
        {"{\"a\":1,\"a\":2", duplicateKey},
        {"{\"a\":1,\"a\":x}", unsupported},
    });
}

TEST(JsonReader, LimitsNestingTo65Levels) {
    EXPECT_NO_THROW(parseText(nest("[", "[]", "]", 64)));
    EXPECT_NO_THROW(parseText(nest("{\"a\":", "{}", "}", 64)));
    EXPECT_NO_THROW(parseText(nest("[{\"a\":", "[]", "}]", 32)));
    EXPECT_NO_THROW(parseText(nest("[", "0", "]", 64)));
    expectFaults({
        {nest("[", "[]", "]", 65), tooDeep},
        {nest("{\"a\":", "{}", "}", 65), tooDeep},
        {nest("[{\"a\":", "[[]]", "}]", 32), tooDeep},
        {nest("{\"a\":[", "{\"b\":[]}", "]}", 32), tooDeep},
        // A container at depth 64 must be empty: even a number inside it is too deep.
        {nest("[", "0", "]", 65), tooDeep},
        // The depth is judged before the end of the text.
        {repeat("[", 65), tooDeep},
        {repeat("[", 64), unexpectedEnd},
    });
}

TEST(JsonReader, LimitsEachArrayTo200000Items) {
    EXPECT_EQ(asArray(parseText(zeros(200000))).size(), 200000u);
    // The limit holds per array: the outer array's items do not count towards the inner one's.
    EXPECT_EQ(asArray(itemsOf(parseText("[0," + zeros(200000) + "]"))[1]).size(), 200000u);
    expectFaults({{zeros(200001), tooManyItems}, {"[[0]," + zeros(200001) + "]", tooManyItems}});
}

TEST(JsonReader, OrdersMembersByUtf16UnitsAndMatchesKeysExactly) {
    // U+E000 sorts after the pair of U+1F600 by units, though before it by code point; and units
    // from 0x8000 up sort after ASCII.
    const JsonValue root = parseText("{\"b\":0,\"a\":1,\"ab\":2,\"B\":3,\"é\":4,\"\xEE\x80\x80\":5,\"😀\":6,\"\":7}");
    const std::vector<std::pair<std::u16string, std::uint64_t>> expected = {
        {u"", 7}, {u"B", 3}, {u"a", 1}, {u"ab", 2}, {u"b", 0}, {u"é", 4}, {u"\xD83D\xDE00", 6}, {u"\xE000", 5},
    };
    std::vector<std::pair<std::u16string, std::uint64_t>> visited;
    for (const JsonMember& member : asObject(root))
        visited.emplace_back(member.key.stringValue(), asUnsigned(member.value));
    EXPECT_EQ(visited, expected);

    const JsonMembers members = asObject(root);
    EXPECT_EQ(asUnsigned(requireField(members, u"B")), 3u);
    expectPatchError([&] { requireField(members, u"A"); }, missingField);
    expectPatchError([&] { requireField(members, u"a "); }, missingField);
    EXPECT_EQ(asUnsigned(requireField(asObject(parseText("{\"a\":1,\"A\":2}")), u"A")), 2u);
    // Escaped keys are their text: they sort and match as the text, and an escape is no text.
    const JsonMembers escaped = asObject(parseText("{\"\\u00e9\":1,\"\\ud83d\\ude00\":2,\"\\uE000\":3,\"\\u0061\":4}"));
    visited.clear();
    for (const JsonMember& member : escaped) visited.emplace_back(member.key.stringValue(), asUnsigned(member.value));
    EXPECT_EQ(visited, (std::vector<std::pair<std::u16string, std::uint64_t>>{
                           {u"a", 4}, {u"é", 1}, {u"\xD83D\xDE00", 2}, {u"\xE000", 3}}));
    EXPECT_EQ(asUnsigned(requireField(escaped, u"a")), 4u);
    EXPECT_EQ(asUnsigned(requireField(escaped, u"é")), 1u);
    expectPatchError([&] { requireField(escaped, u"\\u0061"); }, missingField);
}

TEST(JsonReader, FindsRepeatedKeysInObjectsOfAnySize) {
    const JsonValue large = parseText(numberedObject(200000));
    const JsonMembers members = asObject(large);
    EXPECT_EQ(members.size(), 200000u);
    for (const std::uint64_t i : {0u, 1u, 99999u, 199999u}) {
        const std::string key = "k" + std::to_string(i);
        EXPECT_EQ(asUnsigned(requireField(members, std::u16string(key.begin(), key.end()).c_str())), i);
    }
    // Objects are searched one way while small and another way once they grow: repeats of the
    // first key around the switch and far beyond it.
    expectFaults({
        {numberedObject(15, ",\"k0\":0"), duplicateKey},
        {numberedObject(16, ",\"k0\":0"), duplicateKey},
        {numberedObject(17, ",\"k0\":0"), duplicateKey},
        {numberedObject(17, ",\"k16\":0"), duplicateKey},
        {numberedObject(200000, ",\"k\\u0031\":0"), duplicateKey},
    });
}

TEST(JsonReader, AccessorsAcceptOnlyTheirOwnKind) {
    const JsonValue root = parseText("{\"o\":{},\"a\":[],\"s\":\"1\",\"n\":1,\"t\":true,\"z\":null}");
    const JsonMembers members = asObject(root);
    const std::pair<const char16_t*, JsonKind> cases[] = {
        {u"o", JsonKind::Object},  {u"a", JsonKind::Array},   {u"s", JsonKind::String},
        {u"n", JsonKind::Integer}, {u"t", JsonKind::Boolean}, {u"z", JsonKind::Null},
    };
    auto expectAccepted = [](bool accepted, auto action, const char* message) {
        if (accepted) EXPECT_NO_THROW(action());
        else expectPatchError(action, message);
    };
    for (const auto& [key, kind] : cases) {
        SCOPED_TRACE(toUtf8(key));
        const JsonValue value = requireField(members, key);
        expectAccepted(
            kind == JsonKind::Object, [&] { asObject(value); }, notObject);
        expectAccepted(
            kind == JsonKind::Array, [&] { asArray(value); }, notArray);
        expectAccepted(
            kind == JsonKind::String, [&] { asString(value); }, notString);
        expectAccepted(
            kind == JsonKind::Integer, [&] { asUnsigned(value); }, notUnsigned);
    }
}

TEST(JsonReader, RejectsMembersOutsideTheAllowedKeys) {
    const JsonValue root = parseText("{\"b\":1,\"a\":2}");
    const JsonMembers members = asObject(root);
    EXPECT_NO_THROW(rejectUnknownFields(members, {u"a", u"b"}));
    EXPECT_NO_THROW(rejectUnknownFields(members, {u"c", u"b", u"a"}));
    EXPECT_NO_THROW(rejectUnknownFields(asObject(parseText("{}")), {}));
    expectPatchError([&] { rejectUnknownFields(members, {u"a"}); }, unknownField);
    expectPatchError([&] { rejectUnknownFields(members, {u"a", u"B"}); }, unknownField);
    expectPatchError([&] { rejectUnknownFields(members, {}); }, unknownField);
}

TEST(JsonReader, BindsFieldsAsTheLookupsAndTheUnknownFieldCheckDo) {
    const JsonMembers members = asObject(parseText("{\"b\":1,\"\\u0061\":2}"));
    const auto bound = bindFields(members, std::array<std::string_view, 3>{"c", "b", "a"});
    EXPECT_FALSE(bound[0].present());
    EXPECT_EQ(asUnsigned(requireField(bound[1])), 1u);
    EXPECT_EQ(asUnsigned(requireField(bound[2])), 2u);
    expectPatchError([&] { requireField(bound[0]); }, missingField);
    EXPECT_NO_THROW(bindFields(asObject(parseText("{}")), std::array<std::string_view, 0>{}));
    expectPatchError([&] { bindFields(members, std::array<std::string_view, 1>{"a"}); }, unknownField);
    expectPatchError([&] { bindFields(members, std::array<std::string_view, 2>{"a", "B"}); }, unknownField);
}

TEST(JsonReader, RefusesDocumentsOver2GiBBeforeReadingThem) {
    if constexpr (sizeof(std::size_t) < 8) {
        GTEST_SKIP() << "a 32-bit process holds no object this large";
    } else {
        constexpr std::size_t size = std::size_t{2147483647} + 1;
        // Never written or read: the size alone must decide.
        const std::unique_ptr<unsigned char, decltype(&std::free)> block(static_cast<unsigned char*>(std::malloc(size)),
                                                                         &std::free);
        if (!block) GTEST_SKIP() << "no room for 2 GiB of address space";
        expectPatchError([&] { parseJson({block.get(), size}); }, "JSON 文件过大。");
    }
}

}  // namespace
}  // namespace veskpatch
