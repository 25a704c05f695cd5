#include "oracle/json_reader.h"

#include <cwctype>
#include <iterator>
#include <limits>
#include <new>
#include <set>

#include "patch/patch_error.h"
#include "patch/utf8_decode.h"

namespace veskoracle {

using veskpatch::decodeUtf8Strict;
using veskpatch::PatchError;

namespace {

constexpr std::size_t maxDocumentBytes = 2147483647;
constexpr unsigned maxDepth = 64;
constexpr std::size_t maxArrayItems = 200000;

constexpr char tooLargeMessage[] = "JSON 文件过大。";
constexpr char bomMessage[] = "JSON 不允许 UTF-8 BOM。";
constexpr char trailingDataMessage[] = "JSON 尾部包含多余数据。";
constexpr char tooDeepMessage[] = "JSON 嵌套层级过深。";
constexpr char unexpectedEndMessage[] = "JSON 意外结束。";
constexpr char unsupportedValueMessage[] = "JSON 包含不支持的值。";
constexpr char badLiteralMessage[] = "JSON 字面值无效。";
constexpr char leadingZeroMessage[] = "JSON 数字不允许前导零。";
constexpr char integerRangeMessage[] = "JSON 整数超出 64 位范围。";
constexpr char floatMessage[] = "JSON 清单不允许浮点数。";
constexpr char unterminatedStringMessage[] = "JSON 字符串没有结束引号。";
constexpr char controlCharacterMessage[] = "JSON 字符串包含控制字符。";
constexpr char incompleteEscapeMessage[] = "JSON 转义不完整。";
constexpr char invalidEscapeMessage[] = "JSON 包含无效转义。";
constexpr char incompleteUnicodeEscapeMessage[] = "JSON Unicode 转义不完整。";
constexpr char nonHexEscapeMessage[] = "JSON Unicode 转义包含非十六进制字符。";
constexpr char missingLowSurrogateMessage[] = "JSON Unicode 高代理项缺少低代理项。";
constexpr char invalidSurrogatePairMessage[] = "JSON Unicode 代理项配对无效。";
constexpr char loneLowSurrogateMessage[] = "JSON Unicode 低代理项没有对应高代理项。";
constexpr char tooManyItemsMessage[] = "JSON 数组项目过多。";
constexpr char punctuationMessage[] = "JSON 标点不完整。";
constexpr char keyNotStringMessage[] = "JSON 对象键必须是字符串。";
constexpr char duplicateKeyMessage[] = "JSON 对象包含重复键。";
constexpr char notObjectMessage[] = "JSON 字段不是对象。";
constexpr char notArrayMessage[] = "JSON 字段不是数组。";
constexpr char notStringMessage[] = "JSON 字段不是字符串。";
constexpr char notUnsignedMessage[] = "JSON 字段不是非负整数。";
constexpr char missingFieldMessage[] = "JSON 缺少必需字段。";
constexpr char unknownFieldMessage[] = "JSON 包含未知字段。";

const JsonMembers noMembers;
const JsonItems noItems;
const std::u16string noText;

bool isWhitespace(char16_t unit) { return unit == u' ' || unit == u'\t' || unit == u'\n' || unit == u'\r'; }

bool isAsciiDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

// Units that a string takes over as they stand; the others end a plain run.
bool isPlainStringUnit(char16_t unit) { return unit >= 0x20 && unit != u'"' && unit != u'\\'; }

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

int hexValue(char16_t unit) {
    if (unit >= u'0' && unit <= u'9') return unit - u'0';
    if (unit >= u'a' && unit <= u'f') return unit - u'a' + 10;
    if (unit >= u'A' && unit <= u'F') return unit - u'A' + 10;
    return -1;
}

using Member = JsonMembers::value_type;

// Orders positions in the reader's pending members by their keys. Positions, unlike references,
// stay valid when the list grows.
struct KeyOrder {
    const std::vector<Member>* pending;
    bool operator()(std::size_t a, std::size_t b) const { return (*pending)[a].first < (*pending)[b].first; }
};

// Tells whether the member appended last repeats a key of the object being read, whose members
// start at `first` in the reader's pending list. An object of a manifest has a handful of members
// and is searched linearly; past that, an ordered index keeps a huge object at n log n.
class RepeatedKeyCheck {
public:
    RepeatedKeyCheck(const std::vector<Member>& pending, std::size_t first)
        : pending_(pending), first_(first), index_(KeyOrder{&pending}) {}

    bool lastIsRepeated() {
        const std::size_t last = pending_.size() - 1;
        if (last - first_ < linearLimit) {
            for (std::size_t i = first_; i < last; ++i)
                if (pending_[i].first == pending_[last].first) return true;
            return false;
        }
        if (index_.empty())
            for (std::size_t i = first_; i < last; ++i) index_.insert(i);
        return !index_.insert(last).second;
    }

private:
    static constexpr std::size_t linearLimit = 16;

    const std::vector<Member>& pending_;
    std::size_t first_;
    std::set<std::size_t, KeyOrder> index_;
};

}  // namespace

// The state of one parse: the document as UTF-16 text and a position in it. Finished children wait
// on two pending lists shared by all levels (a nested container only ever adds above its parent's
// entries and takes them away again), and each container is then built at its exact size.
class JsonReader {
public:
    explicit JsonReader(std::u16string text) noexcept : text_(std::move(text)) {}

    JsonValue parseDocument() {
        skipWhitespace();
        JsonValue root = parseValue(0);
        skipWhitespace();
        if (!atEnd()) throw PatchError(trailingDataMessage);
        return root;
    }

private:
    bool atEnd() const { return pos_ == text_.size(); }
    bool at(char16_t unit) const { return pos_ < text_.size() && text_[pos_] == unit; }
    std::size_t remaining() const { return text_.size() - pos_; }

    void skipWhitespace() {
        while (pos_ < text_.size() && isWhitespace(text_[pos_])) ++pos_;
    }

    void skipPlainStringUnits() {
        while (pos_ < text_.size() && isPlainStringUnit(text_[pos_])) ++pos_;
    }

    JsonValue parseValue(unsigned depth) {
        if (depth > maxDepth) throw PatchError(tooDeepMessage);
        if (atEnd()) throw PatchError(unexpectedEndMessage);
        switch (text_[pos_]) {
        case u'"': return JsonValue(parseString());
        case u'[': return parseArray(depth + 1);
        case u'{': return parseObject(depth + 1);
        case u't': expectLiteral(u"true"); return JsonValue(true);
        case u'f': expectLiteral(u"false"); return JsonValue(false);
        case u'n': expectLiteral(u"null"); return JsonValue();
        default:
            if (isAsciiDigit(text_[pos_])) return JsonValue(parseNumber());
            throw PatchError(unsupportedValueMessage);
        }
    }

    void expectLiteral(std::u16string_view word) {
        if (std::u16string_view(text_).substr(pos_, word.size()) != word) throw PatchError(badLiteralMessage);
        pos_ += word.size();
    }

    std::uint64_t parseNumber() {
        // The runtime's own digit test, as the updater makes it: the Windows runtime also takes other
        // Unicode digits here ("0²" is a leading zero there), the Linux one only ASCII digits.
        if (text_[pos_] == u'0' && remaining() > 1 && std::iswdigit(static_cast<std::wint_t>(text_[pos_ + 1])))
            throw PatchError(leadingZeroMessage);
        std::uint64_t value = 0;
        for (; pos_ < text_.size() && isAsciiDigit(text_[pos_]); ++pos_) {
            const unsigned digit = text_[pos_] - u'0';
            if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) throw PatchError(integerRangeMessage);
            value = value * 10 + digit;
        }
        if (at(u'.') || at(u'e') || at(u'E')) throw PatchError(floatMessage);
        return value;
    }

    std::u16string parseString() {
        const std::size_t start = ++pos_;
        skipPlainStringUnits();
        // Most strings hold no escape: they are copied once, at their exact length.
        if (at(u'"')) {
            std::u16string plain(text_, start, pos_ - start);
            ++pos_;
            return plain;
        }
        unescaped_.assign(text_, start, pos_ - start);
        for (;;) {
            if (atEnd()) throw PatchError(unterminatedStringMessage);
            const char16_t unit = text_[pos_++];
            if (unit == u'"') return std::u16string(unescaped_);
            if (unit != u'\\') throw PatchError(controlCharacterMessage);
            appendEscape();
            const std::size_t run = pos_;
            skipPlainStringUnits();
            unescaped_.append(text_, run, pos_ - run);
        }
    }

    void appendEscape() {
        if (atEnd()) throw PatchError(incompleteEscapeMessage);
        switch (const char16_t unit = text_[pos_++]) {
        case u'"':
        case u'/':
        case u'\\': unescaped_ += unit; break;
        case u'b': unescaped_ += u'\b'; break;
        case u'f': unescaped_ += u'\f'; break;
        case u'n': unescaped_ += u'\n'; break;
        case u'r': unescaped_ += u'\r'; break;
        case u't': unescaped_ += u'\t'; break;
        case u'u': appendUnicodeEscape(); break;
        default: throw PatchError(invalidEscapeMessage);
        }
    }

    void appendUnicodeEscape() {
        const char16_t code = readHex4();
        if (isHighSurrogate(code)) {
            if (remaining() < 2 || text_[pos_] != u'\\' || text_[pos_ + 1] != u'u')
                throw PatchError(missingLowSurrogateMessage);
            pos_ += 2;
            const char16_t low = readHex4();
            if (!isLowSurrogate(low)) throw PatchError(invalidSurrogatePairMessage);
            unescaped_ += code;
            unescaped_ += low;
            return;
        }
        if (isLowSurrogate(code)) throw PatchError(loneLowSurrogateMessage);
        unescaped_ += code;
    }

    char16_t readHex4() {
        if (remaining() < 4) throw PatchError(incompleteUnicodeEscapeMessage);
        unsigned code = 0;
        for (const std::size_t end = pos_ + 4; pos_ < end; ++pos_) {
            const int value = hexValue(text_[pos_]);
            if (value < 0) throw PatchError(nonHexEscapeMessage);
            code = code * 16 + static_cast<unsigned>(value);
        }
        return static_cast<char16_t>(code);
    }

    JsonValue parseArray(unsigned itemDepth) {
        ++pos_;
        skipWhitespace();
        if (at(u']')) {
            ++pos_;
            return JsonValue(JsonItems());
        }
        const std::size_t first = pendingItems_.size();
        for (;;) {
            pendingItems_.push_back(parseValue(itemDepth));
            if (pendingItems_.size() - first > maxArrayItems) throw PatchError(tooManyItemsMessage);
            skipWhitespace();
            if (at(u']')) {
                ++pos_;
                return JsonValue(takeItems(first));
            }
            if (!at(u',')) throw PatchError(punctuationMessage);
            ++pos_;
            skipWhitespace();
        }
    }

    JsonValue parseObject(unsigned memberDepth) {
        ++pos_;
        skipWhitespace();
        if (at(u'}')) {
            ++pos_;
            return JsonValue(JsonMembers());
        }
        const std::size_t first = pendingMembers_.size();
        RepeatedKeyCheck repeated(pendingMembers_, first);
        for (;;) {
            if (!at(u'"')) throw PatchError(keyNotStringMessage);
            std::u16string key = parseString();
            skipWhitespace();
            if (!at(u':')) throw PatchError(punctuationMessage);
            ++pos_;
            skipWhitespace();
            // The value is read before the key is judged, so a fault inside it is reported first.
            JsonValue value = parseValue(memberDepth);
            pendingMembers_.emplace_back(std::move(key), std::move(value));
            if (repeated.lastIsRepeated()) throw PatchError(duplicateKeyMessage);
            skipWhitespace();
            if (at(u'}')) {
                ++pos_;
                return JsonValue(takeMembers(first));
            }
            if (!at(u',')) throw PatchError(punctuationMessage);
            ++pos_;
            skipWhitespace();
        }
    }

    JsonItems takeItems(std::size_t first) {
        const auto begin = pendingItems_.begin() + static_cast<std::ptrdiff_t>(first);
        JsonItems items(std::make_move_iterator(begin), std::make_move_iterator(pendingItems_.end()));
        pendingItems_.erase(begin, pendingItems_.end());
        return items;
    }

    JsonMembers takeMembers(std::size_t first) {
        // Positions are sorted rather than members, so each member moves once, straight into
        // its place.
        order_.clear();
        for (std::size_t i = first; i < pendingMembers_.size(); ++i) order_.push_back(i);
        std::sort(order_.begin(), order_.end(), KeyOrder{&pendingMembers_});
        std::vector<Member> sorted;
        sorted.reserve(order_.size());
        for (const std::size_t i : order_) sorted.push_back(std::move(pendingMembers_[i]));
        pendingMembers_.erase(pendingMembers_.begin() + static_cast<std::ptrdiff_t>(first), pendingMembers_.end());
        return JsonMembers(std::move(sorted));
    }

    std::u16string text_;
    std::size_t pos_ = 0;
    std::vector<JsonValue> pendingItems_;
    std::vector<Member> pendingMembers_;
    std::vector<std::size_t> order_;  // sorting room for the members of one object
    std::u16string unescaped_;        // the string being read once it turned out to hold an escape
};

JsonMembers::JsonMembers(std::vector<value_type> sortedUniqueEntries) noexcept
    : entries_(std::move(sortedUniqueEntries)) {}

JsonValue::JsonValue() noexcept : kind_(JsonKind::Null), boolean_(false) {}
JsonValue::JsonValue(JsonMembers members) noexcept : kind_(JsonKind::Object), members_(std::move(members)) {}
JsonValue::JsonValue(JsonItems items) noexcept : kind_(JsonKind::Array), items_(std::move(items)) {}
JsonValue::JsonValue(std::u16string text) noexcept : kind_(JsonKind::String), string_(std::move(text)) {}
JsonValue::JsonValue(std::uint64_t integer) noexcept : kind_(JsonKind::Integer), integer_(integer) {}
JsonValue::JsonValue(bool boolean) noexcept : kind_(JsonKind::Boolean), boolean_(boolean) {}

JsonValue::JsonValue(JsonValue&& other) noexcept { takeFrom(std::move(other)); }

JsonValue& JsonValue::operator=(JsonValue&& other) noexcept {
    if (this != &other) {
        release();
        takeFrom(std::move(other));
    }
    return *this;
}

JsonValue::~JsonValue() { release(); }

void JsonValue::takeFrom(JsonValue&& other) noexcept {
    kind_ = other.kind_;
    switch (kind_) {
    case JsonKind::Object: new (&members_) JsonMembers(std::move(other.members_)); break;
    case JsonKind::Array: new (&items_) JsonItems(std::move(other.items_)); break;
    case JsonKind::String: new (&string_) std::u16string(std::move(other.string_)); break;
    case JsonKind::Integer: integer_ = other.integer_; break;
    case JsonKind::Boolean:
    case JsonKind::Null: boolean_ = other.boolean_; break;
    }
}

void JsonValue::release() noexcept {
    switch (kind_) {
    case JsonKind::Object: members_.~JsonMembers(); break;
    case JsonKind::Array: items_.~JsonItems(); break;
    case JsonKind::String: string_.~basic_string(); break;
    case JsonKind::Integer:
    case JsonKind::Boolean:
    case JsonKind::Null: break;
    }
}

const JsonMembers& JsonValue::members() const noexcept { return kind_ == JsonKind::Object ? members_ : noMembers; }
const JsonItems& JsonValue::items() const noexcept { return kind_ == JsonKind::Array ? items_ : noItems; }
const std::u16string& JsonValue::stringValue() const noexcept { return kind_ == JsonKind::String ? string_ : noText; }
std::uint64_t JsonValue::integerValue() const noexcept { return kind_ == JsonKind::Integer ? integer_ : 0; }
bool JsonValue::booleanValue() const noexcept { return kind_ == JsonKind::Boolean && boolean_; }

JsonValue parseJson(std::span<const unsigned char> document) {
    if (document.size() > maxDocumentBytes) throw PatchError(tooLargeMessage);
    std::u16string text = decodeUtf8Strict(document);
    if (!text.empty() && text.front() == u'\uFEFF') throw PatchError(bomMessage);
    return JsonReader(std::move(text)).parseDocument();
}

const JsonMembers& asObject(const JsonValue& value) {
    if (value.kind() != JsonKind::Object) throw PatchError(notObjectMessage);
    return value.members();
}

const JsonItems& asArray(const JsonValue& value) {
    if (value.kind() != JsonKind::Array) throw PatchError(notArrayMessage);
    return value.items();
}

const std::u16string& asString(const JsonValue& value) {
    if (value.kind() != JsonKind::String) throw PatchError(notStringMessage);
    return value.stringValue();
}

std::uint64_t asUnsigned(const JsonValue& value) {
    if (value.kind() != JsonKind::Integer) throw PatchError(notUnsignedMessage);
    return value.integerValue();
}

const JsonValue& requireField(const JsonMembers& members, const char16_t* key) {
    const auto found = members.find(key);
    if (found == members.end()) throw PatchError(missingFieldMessage);
    return found->second;
}

void rejectUnknownFields(const JsonMembers& members, std::initializer_list<std::u16string_view> allowed) {
    for (const auto& member : members)
        if (std::find(allowed.begin(), allowed.end(), member.first) == allowed.end())
            throw PatchError(unknownFieldMessage);
}

}  // namespace veskoracle
