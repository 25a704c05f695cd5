#include "patch/json_checker.h"

#include <algorithm>
#include <cwctype>
#include <deque>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_set>

#include "common/utf8_encode.h"
#include "patch/json_scan.h"
#include "patch/manifest.h"
#include "patch/patch_error.h"

namespace veskpatch {
namespace {

using namespace jsonScan;
using veskcheck::appendUtf8;
using veskcheck::isHighSurrogate;
using veskcheck::isLowSurrogate;

constexpr unsigned maxDepth = 64;
constexpr std::uint32_t maxArrayItems = 200000;

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

// Tells whether the key added last repeats a key of the object being read, whose keys start at
// `first` in the checker's list. An object of a manifest has a handful of members and is searched
// linearly; past that, a hash of the keys keeps a huge object linear in its size.
class RepeatedKeyCheck {
public:
    RepeatedKeyCheck(const std::vector<std::string_view>& keys, std::size_t first) : keys_(keys), first_(first) {}

    bool lastIsRepeated() {
        const std::size_t last = keys_.size() - 1;
        if (last - first_ < linearLimit) {
            for (std::size_t i = first_; i < last; ++i)
                if (sameShortText(keys_[i], keys_[last])) return true;
            return false;
        }
        if (seen_.empty())
            for (std::size_t i = first_; i < last; ++i) seen_.insert(keys_[i]);
        return !seen_.insert(keys_[last]).second;
    }

private:
    static constexpr std::size_t linearLimit = 16;

    const std::vector<std::string_view>& keys_;
    std::size_t first_;
    std::unordered_set<std::string_view> seen_;
};

// One pass of recursive descent over the bytes. The limits that count characters count UTF-16
// units, as the updater's reader, which works on UTF-16 text, does.
class JsonChecker {
public:
    explicit JsonChecker(std::span<const unsigned char> text)
        : begin_(text.data()), at_(text.data()), end_(text.data() + text.size()) {
        // Room for the most strings a manifest can hold (two bytes each), so the list never moves
        // while it grows: only the part written is ever touched, so the rest costs address space
        // and no memory. Longer documents, which only a test reads, grow it as usual.
        outline_.stringEnds.reserve(std::min(text.size(), maxManifestBytes) / 2);
    }

    JsonOutline run() {
        skipSpace();
        value(0);
        skipSpace();
        if (at_ != end_) throw PatchError(trailingDataMessage);
        return std::move(outline_);
    }

private:
    bool at(unsigned char byte) const { return at_ != end_ && *at_ == byte; }
    void skipSpace() { at_ = skipWhitespace(at_, end_); }

    void value(unsigned depth) {
        if (depth > maxDepth) throw PatchError(tooDeepMessage);
        if (at_ == end_) throw PatchError(unexpectedEndMessage);
        switch (*at_) {
        case '"': string(nullptr); return;
        case '[': array(depth + 1); return;
        case '{': object(depth + 1); return;
        case 't': literal("true"); return;
        case 'f': literal("false"); return;
        case 'n': literal("null"); return;
        default:
            if (!isDigit(*at_)) throw PatchError(unsupportedValueMessage);
            number();
        }
    }

    void literal(std::string_view word) {
        if (static_cast<std::size_t>(end_ - at_) < word.size() || std::memcmp(at_, word.data(), word.size()) != 0)
            throw PatchError(badLiteralMessage);
        at_ += word.size();
    }

    // The runtime's own digit test, as the updater makes it: the Windows runtime also takes other
    // Unicode digits here ("0²" is a leading zero there), the Linux one only ASCII digits.
    bool isRuntimeDigit(const unsigned char* character) const {
        return std::iswdigit(static_cast<std::wint_t>(firstUtf16Unit(character))) != 0;
    }

    void number() {
        if (*at_ == '0' && at_ + 1 != end_ && isRuntimeDigit(at_ + 1)) throw PatchError(leadingZeroMessage);
        std::uint64_t value = 0;
        for (; at_ != end_ && isDigit(*at_); ++at_) {
            const unsigned digit = *at_ - '0';
            if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) throw PatchError(integerRangeMessage);
            value = value * 10 + digit;
        }
        if (at('.') || at('e') || at('E')) throw PatchError(floatMessage);
    }

    // Checks the string at the current quote and moves past it; `unescaped`, when given, receives
    // its text with the escapes resolved.
    void string(std::string* unescaped) {
        ++at_;
        for (JsonStringEnd escaped = 0;; escaped = jsonStringEscaped) {
            const unsigned char* const run = at_;
            at_ = endOfPlainRun(at_, end_);
            if (unescaped) unescaped->append(run, at_);
            if (at_ == end_) throw PatchError(unterminatedStringMessage);
            const unsigned char byte = *at_++;
            if (byte == '"') return endString(escaped);
            if (byte != '\\') throw PatchError(controlCharacterMessage);
            escape(unescaped);
        }
    }

    void endString(JsonStringEnd escaped) { outline_.stringEnds.push_back(offset() | escaped); }
    std::uint32_t offset() const { return static_cast<std::uint32_t>(at_ - begin_); }

    // A key as its text: a view of the document unless it holds an escape.
    std::string_view key() {
        const unsigned char* const start = at_ + 1;
        const unsigned char* const stop = endOfPlainRun(start, end_);
        if (stop != end_ && *stop == '"') {
            at_ = stop + 1;
            endString(0);
            return {reinterpret_cast<const char*>(start), static_cast<std::size_t>(stop - start)};
        }
        std::string& text = unescapedKeys_.emplace_back();
        string(&text);
        return text;
    }

    void escape(std::string* out) {
        if (at_ == end_) throw PatchError(incompleteEscapeMessage);
        const unsigned char byte = *at_++;
        switch (byte) {
        case '"':
        case '/':
        case '\\': put(out, byte); return;
        case 'b': put(out, '\b'); return;
        case 'f': put(out, '\f'); return;
        case 'n': put(out, '\n'); return;
        case 'r': put(out, '\r'); return;
        case 't': put(out, '\t'); return;
        case 'u': unicodeEscape(out); return;
        default: throw PatchError(invalidEscapeMessage);
        }
    }

    static void put(std::string* out, char32_t character) {
        if (out) appendUtf8(*out, character);
    }

    void unicodeEscape(std::string* out) {
        char32_t code = hex4();
        if (isHighSurrogate(code)) {
            if (end_ - at_ < 2 || at_[0] != '\\' || at_[1] != 'u') throw PatchError(missingLowSurrogateMessage);
            at_ += 2;
            const char32_t low = hex4();
            if (!isLowSurrogate(low)) throw PatchError(invalidSurrogatePairMessage);
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        } else if (isLowSurrogate(code)) {
            throw PatchError(loneLowSurrogateMessage);
        }
        put(out, code);
    }

    bool unitsRemain(int wanted) const {
        int units = 0;
        for (const unsigned char* next = at_; units < wanted && next < end_; next += sequenceBytes(*next))
            units += sequenceUnits(*next);
        return units >= wanted;
    }

    char32_t hex4() {
        if (!unitsRemain(4)) throw PatchError(incompleteUnicodeEscapeMessage);
        char32_t code = 0;
        for (const unsigned char* const stop = at_ + 4; at_ != stop; ++at_) {
            const int digit = hexValue(*at_);
            if (digit < 0) throw PatchError(nonHexEscapeMessage);
            code = code * 16 + static_cast<char32_t>(digit);
        }
        return code;
    }

    std::size_t open() {
        outline_.containers.emplace_back();
        return outline_.containers.size() - 1;
    }

    void close(std::size_t index, std::uint32_t count) {
        ++at_;
        outline_.containers[index] = {offset(), count, static_cast<std::uint32_t>(outline_.containers.size()),
                                      static_cast<std::uint32_t>(outline_.stringEnds.size())};
    }

    void array(unsigned itemDepth) {
        const std::size_t index = open();
        ++at_;
        skipSpace();
        if (at(']')) return close(index, 0);
        for (std::uint32_t count = 1;; ++count) {
            value(itemDepth);
            if (count > maxArrayItems) throw PatchError(tooManyItemsMessage);
            skipSpace();
            if (at(']')) return close(index, count);
            if (!at(',')) throw PatchError(punctuationMessage);
            ++at_;
            skipSpace();
        }
    }

    void object(unsigned memberDepth) {
        const std::size_t index = open();
        ++at_;
        skipSpace();
        if (at('}')) return close(index, 0);
        const std::size_t first = keys_.size();
        RepeatedKeyCheck repeated(keys_, first);
        for (std::uint32_t count = 1;; ++count) {
            if (!at('"')) throw PatchError(keyNotStringMessage);
            keys_.push_back(key());
            skipSpace();
            if (!at(':')) throw PatchError(punctuationMessage);
            ++at_;
            skipSpace();
            // The value is read before the key is judged, so a fault inside it is reported first.
            value(memberDepth);
            if (repeated.lastIsRepeated()) throw PatchError(duplicateKeyMessage);
            skipSpace();
            if (at('}')) {
                keys_.resize(first);
                return close(index, count);
            }
            if (!at(',')) throw PatchError(punctuationMessage);
            ++at_;
            skipSpace();
        }
    }

    const unsigned char* const begin_;
    const unsigned char* at_;
    const unsigned char* const end_;
    JsonOutline outline_;
    std::vector<std::string_view> keys_;     // the keys of every object being read, innermost last
    std::deque<std::string> unescapedKeys_;  // the text of keys that hold escapes; never moves
};

}  // namespace

JsonOutline checkJson(std::span<const unsigned char> text) { return JsonChecker(text).run(); }

}  // namespace veskpatch
