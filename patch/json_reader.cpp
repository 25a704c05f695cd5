#include "patch/json_reader.h"

#include <algorithm>
#include <cstring>

#include "patch/json_scan.h"
#include "patch/patch_error.h"
#include "patch/utf8_decode.h"

namespace veskpatch {
namespace {

using namespace jsonScan;

constexpr std::size_t maxDocumentBytes = 2147483647;
constexpr unsigned char byteOrderMark[] = {0xEF, 0xBB, 0xBF};

constexpr char tooLargeMessage[] = "JSON 文件过大。";
constexpr char bomMessage[] = "JSON 不允许 UTF-8 BOM。";
constexpr char notObjectMessage[] = "JSON 字段不是对象。";
constexpr char notArrayMessage[] = "JSON 字段不是数组。";
constexpr char notStringMessage[] = "JSON 字段不是字符串。";
constexpr char notUnsignedMessage[] = "JSON 字段不是非负整数。";
constexpr char missingFieldMessage[] = "JSON 缺少必需字段。";
constexpr char unknownFieldMessage[] = "JSON 包含未知字段。";

// A number or a literal: digits or lower-case letters.
const unsigned char* endOfWord(const unsigned char* at, const unsigned char* end) {
    while (at != end && ((*at >= '0' && *at <= '9') || (*at >= 'a' && *at <= 'z'))) ++at;
    return at;
}

std::span<const unsigned char> bytesOf(std::string_view text) {
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

char16_t escapedUnit(const unsigned char*& at) {
    switch (const unsigned char byte = *at++) {
    case 'b': return u'\b';
    case 'f': return u'\f';
    case 'n': return u'\n';
    case 'r': return u'\r';
    case 't': return u'\t';
    case 'u': {
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) code = code * 16 + static_cast<unsigned>(hexValue(*at++));
        return static_cast<char16_t>(code);
    }
    default: return byte;  // '"', '/' or '\\'
    }
}

// Escapes become their units; the text between them goes through the platform's UTF-8 decoder, as
// the whole document did when it was first read. A surrogate pair is two escapes, one unit each.
void decodeEscapedText(std::string_view raw, std::u16string& text) {
    text.clear();
    std::u16string run;
    const unsigned char* at = bytesOf(raw).data();
    const unsigned char* const end = at + raw.size();
    while (at != end) {
        const auto* backslash = static_cast<const unsigned char*>(std::memchr(at, '\\', end - at));
        const unsigned char* const runEnd = backslash ? backslash : end;
        if (runEnd != at) {
            decodeUtf8Strict(std::span(at, runEnd), run);
            text += run;
        }
        at = runEnd;
        if (at != end) text += escapedUnit(++at);
    }
}

// The first UTF-16 unit of the character at `at`, then the whole character: where first units
// agree, the characters order the second units of those beyond U+FFFF as the units do.
std::pair<char16_t, char32_t> utf16OrderKey(const unsigned char* at) {
    return {firstUtf16Unit(at), wellFormedCharacter(at)};
}

// UTF-16 order from UTF-8 text: the bytes agree with it up to the first character that differs,
// and there the characters' units decide (U+E000 to U+FFFF sort after the surrogates of the
// characters beyond U+FFFF, though their UTF-8 sorts before).
bool utf16Before(std::string_view a, std::string_view b) {
    const auto [aDiffers, bDiffers] = std::ranges::mismatch(a, b);
    if (aDiffers == a.end() || bDiffers == b.end()) return a.size() < b.size();
    std::size_t at = static_cast<std::size_t>(aDiffers - a.begin());
    while (at > 0 && (static_cast<unsigned char>(a[at]) & 0xC0) == 0x80) --at;  // back to the character's start
    return utf16OrderKey(bytesOf(a).data() + at) < utf16OrderKey(bytesOf(b).data() + at);
}

}  // namespace

JsonValue JsonValue::at(const JsonIndex& index, const unsigned char* at, JsonCursor& next) noexcept {
    JsonValue value;
    value.index_ = &index;
    value.begin_ = at;
    if (*at == '{' || *at == '[') {
        value.inside_ = next;
        const JsonContainer& container = index.outline.containers[next.container];
        value.end_ = index.begin + container.end;
        next = {container.next, container.nextString};
    } else if (*at == '"') {
        const JsonStringEnd end = index.outline.stringEnds[next.string++];
        value.end_ = index.begin + (end & ~jsonStringEscaped);
        value.escaped_ = (end & jsonStringEscaped) != 0;
    } else {
        value.end_ = endOfWord(at, index.end);
    }
    return value;
}

JsonKind JsonValue::kind() const noexcept {
    switch (begin_ ? *begin_ : 'n') {
    case '{': return JsonKind::Object;
    case '[': return JsonKind::Array;
    case '"': return JsonKind::String;
    case 't':
    case 'f': return JsonKind::Boolean;
    case 'n': return JsonKind::Null;
    default: return JsonKind::Integer;
    }
}

JsonMembers JsonValue::members() const noexcept {
    return kind() == JsonKind::Object ? JsonMembers(index_, begin_, inside_) : JsonMembers();
}

JsonItems JsonValue::items() const noexcept {
    return kind() == JsonKind::Array ? JsonItems(index_, begin_, inside_) : JsonItems();
}

std::string_view JsonValue::rawText() const noexcept {
    return {reinterpret_cast<const char*>(begin_ + 1), static_cast<std::size_t>(end_ - begin_ - 2)};
}

std::u16string JsonValue::stringValue() const {
    std::u16string text;
    stringValue(text);
    return text;
}

void JsonValue::stringValue(std::u16string& text) const {
    if (kind() != JsonKind::String) text.clear();
    else if (escaped_) decodeEscapedText(rawText(), text);
    else decodeUtf8Strict(bytesOf(rawText()), text);
}

std::uint64_t JsonValue::integerValue() const noexcept {
    if (kind() != JsonKind::Integer) return 0;
    std::uint64_t value = 0;
    for (const unsigned char* at = begin_; at != end_; ++at) value = value * 10 + (*at - '0');
    return value;
}

bool JsonValue::booleanValue() const noexcept { return kind() == JsonKind::Boolean && *begin_ == 't'; }

std::optional<std::string_view> JsonValue::plainAsciiText() const noexcept {
    if (kind() != JsonKind::String || escaped_) return std::nullopt;
    return isAsciiText(begin_ + 1, end_ - 1) ? std::optional(rawText()) : std::nullopt;
}

bool JsonValue::textEquals(std::u16string_view text) const {
    if (kind() != JsonKind::String) return false;
    const bool ascii = std::ranges::all_of(text, [](char16_t unit) { return unit < 0x80; });
    if (!escaped_ && ascii)
        return std::ranges::equal(rawText(), text, [](char byte, char16_t unit) { return byte == unit; });
    return stringValue() == text;
}

std::size_t JsonValue::findIn(std::span<const std::string_view> texts) const {
    if (kind() != JsonKind::String) return texts.size();
    if (escaped_) {
        const auto found = std::ranges::find_if(texts, [&](std::string_view text) { return equalsAscii(text); });
        return static_cast<std::size_t>(found - texts.begin());
    }
    const std::string_view raw = rawText();
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (sameShortText(texts[i], raw)) return i;
    return texts.size();
}

std::uint32_t JsonValue::offset() const noexcept { return static_cast<std::uint32_t>(begin_ - index_->begin); }

bool JsonValue::sortsBefore(const JsonValue& other) const {
    if (escaped_ || other.escaped_) return stringValue() < other.stringValue();
    return utf16Before(rawText(), other.rawText());
}

bool JsonValue::equalsAscii(std::string_view text) const {
    if (kind() != JsonKind::String) return false;
    // Unescaped, the bytes are the text's UTF-8, and ASCII is its own UTF-8.
    if (!escaped_) return rawText() == text;
    return std::ranges::equal(stringValue(), text,
                              [](char16_t unit, char byte) { return unit == static_cast<unsigned char>(byte); });
}

void JsonMembers::DocumentOrder::readMember(iterator& position, const unsigned char* at) noexcept {
    const JsonIndex& index = *position.index_;
    position.at_ = at;
    position.entry_.key = JsonValue::at(index, at, position.next_);
    const unsigned char* const colon = skipWhitespace(position.entry_.key.end_, index.end);
    position.entry_.value = JsonValue::at(index, skipWhitespace(colon + 1, index.end), position.next_);
}

void JsonMembers::DocumentOrder::first(iterator& position, const unsigned char* open) noexcept {
    readMember(position, skipWhitespace(open + 1, position.index_->end));
}

JsonMembers::DocumentOrder::iterator JsonMembers::DocumentOrder::begin() const noexcept {
    if (members_.empty()) return end();
    return iterator(members_.index_, members_.open_, {members_.inside_.container + 1, members_.inside_.string});
}

void JsonMembers::DocumentOrder::next(iterator& position) noexcept {
    const JsonIndex& index = *position.index_;
    const unsigned char* const after = skipWhitespace(position.entry_.value.end_, index.end);
    if (*after != ',') {
        position.at_ = nullptr;
        return;
    }
    readMember(position, skipWhitespace(after + 1, index.end));
}

const std::vector<JsonMember>& JsonMembers::byKey() const {
    if (!byKey_) {
        const DocumentOrder members = inDocumentOrder();
        std::vector<JsonMember> sorted(members.begin(), members.end());
        // Keys are unique, so the order is total.
        std::ranges::sort(sorted, [](const JsonMember& a, const JsonMember& b) { return a.key.sortsBefore(b.key); });
        byKey_ = std::make_shared<const std::vector<JsonMember>>(std::move(sorted));
    }
    return *byKey_;
}

void JsonItems::first(iterator& position, const unsigned char* open) noexcept {
    position.at_ = skipWhitespace(open + 1, position.index_->end);
    position.entry_ = JsonValue::at(*position.index_, position.at_, position.next_);
}

void JsonItems::next(iterator& position) noexcept {
    const JsonIndex& index = *position.index_;
    const unsigned char* const after = skipWhitespace(position.entry_.end_, index.end);
    if (*after != ',') {
        position.at_ = nullptr;
        return;
    }
    position.at_ = skipWhitespace(after + 1, index.end);
    position.entry_ = JsonValue::at(index, position.at_, position.next_);
}

JsonValue JsonDocument::root() const noexcept {
    JsonCursor first;
    return JsonValue::at(*index_, skipWhitespace(index_->begin, index_->end), first);
}

JsonValue JsonDocument::stringAt(std::uint32_t offset) const noexcept {
    // The strings' ends are in document order, so the string's own is the first past its start.
    const std::vector<JsonStringEnd>& ends = index_->outline.stringEnds;
    const auto end = std::ranges::upper_bound(ends, offset, std::less{},
                                              [](JsonStringEnd stringEnd) { return stringEnd & ~jsonStringEscaped; });
    JsonCursor cursor{0, static_cast<std::uint32_t>(end - ends.begin())};
    return JsonValue::at(*index_, index_->begin + offset, cursor);
}

JsonDocument parseJson(std::span<const unsigned char> document) {
    if (document.size() > maxDocumentBytes) throw PatchError(tooLargeMessage);
    checkUtf8Strict(document);
    if (document.size() >= sizeof(byteOrderMark) &&
        std::equal(std::begin(byteOrderMark), std::end(byteOrderMark), document.begin()))
        throw PatchError(bomMessage);
    auto index = std::make_unique<JsonIndex>();
    index->begin = document.data();
    index->end = document.data() + document.size();
    index->outline = checkJson(document);
    return JsonDocument(std::move(index));
}

JsonMembers asObject(const JsonValue& value) {
    if (value.kind() != JsonKind::Object) throw PatchError(notObjectMessage);
    return value.members();
}

JsonItems asArray(const JsonValue& value) {
    if (value.kind() != JsonKind::Array) throw PatchError(notArrayMessage);
    return value.items();
}

const JsonValue& requireString(const JsonValue& value) {
    if (value.kind() != JsonKind::String) throw PatchError(notStringMessage);
    return value;
}

std::u16string asString(const JsonValue& value) { return requireString(value).stringValue(); }

void asString(const JsonValue& value, std::u16string& text) { requireString(value).stringValue(text); }

std::uint64_t asUnsigned(const JsonValue& value) {
    if (value.kind() != JsonKind::Integer) throw PatchError(notUnsignedMessage);
    return value.integerValue();
}

JsonValue requireField(const JsonMembers& members, const char16_t* key) {
    for (const JsonMember& member : members.inDocumentOrder())
        if (member.key.textEquals(key)) return member.value;
    throw PatchError(missingFieldMessage);
}

void rejectUnknownFields(const JsonMembers& members, std::initializer_list<std::u16string_view> allowed) {
    for (const JsonMember& member : members)
        if (std::ranges::none_of(allowed, [&](std::u16string_view key) { return member.key.textEquals(key); }))
            throw PatchError(unknownFieldMessage);
}

const JsonValue& requireField(const JsonValue& field) {
    if (!field.present()) throw PatchError(missingFieldMessage);
    return field;
}

void bindFields(const JsonMembers& members, std::span<const std::string_view> keys, std::span<JsonValue> fields) {
    for (const JsonMember& member : members.inDocumentOrder()) {
        const std::size_t slot = member.key.findIn(keys);
        if (slot == keys.size()) throw PatchError(unknownFieldMessage);
        fields[slot] = member.value;
    }
}

}  // namespace veskpatch
