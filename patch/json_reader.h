#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "patch/json_checker.h"

namespace veskpatch {

enum class JsonKind : std::int32_t { Object = 0, Array = 1, String = 2, Integer = 3, Boolean = 4, Null = 5 };

// A checked document and the table of its containers. Values are views into the caller's bytes,
// which must outlive the document and every value read from it.
struct JsonIndex {
    const unsigned char* begin = nullptr;
    const unsigned char* end = nullptr;
    JsonOutline outline;
};

// The next container and the next string of the table, as a walk through the document meets them.
struct JsonCursor {
    std::uint32_t container = 0;
    std::uint32_t string = 0;
};

class JsonMembers;
class JsonItems;

// One value of a checked document, read on demand: nothing is decoded or copied until asked for.
// A default value is absent (a field the object does not have).
class JsonValue {
public:
    JsonValue() = default;

    bool present() const noexcept { return begin_ != nullptr; }
    JsonKind kind() const noexcept;
    // Empty, zero or false for a value of another kind.
    JsonMembers members() const noexcept;
    JsonItems items() const noexcept;
    std::u16string stringValue() const;
    // The same text written into `text`, replacing what it held and reusing its room.
    void stringValue(std::u16string& text) const;
    std::uint64_t integerValue() const noexcept;
    bool booleanValue() const noexcept;

    // Whether a string value's text is exactly `text`, unit for unit, mostly without building it.
    bool textEquals(std::u16string_view text) const;
    bool equalsAscii(std::string_view text) const;
    // The position in `texts` (all ASCII) of this string's text; texts.size() when it is none.
    std::size_t findIn(std::span<const std::string_view> texts) const;
    // Whether this string's text sorts before the other's as sequences of unsigned UTF-16 units,
    // a shorter prefix first.
    bool sortsBefore(const JsonValue& other) const;
    // A string value's text where it is ASCII and holds no escape, so that each byte is one unit.
    std::optional<std::string_view> plainAsciiText() const noexcept;
    // Where the value starts in its document, for JsonDocument::stringAt to find it again.
    std::uint32_t offset() const noexcept;

private:
    friend class JsonDocument;
    friend class JsonMembers;
    friend class JsonItems;
    // The value that starts at `at`, which takes its entries of the tables from `next`.
    static JsonValue at(const JsonIndex& index, const unsigned char* at, JsonCursor& next) noexcept;
    std::string_view rawText() const noexcept;  // a string's bytes between the quotes

    const JsonIndex* index_ = nullptr;
    const unsigned char* begin_ = nullptr;
    const unsigned char* end_ = nullptr;
    JsonCursor inside_;     // for a container: its own index and that of its first string
    bool escaped_ = false;  // a string that holds a backslash
};

struct JsonMember {
    JsonValue key;
    JsonValue value;
};

// Steps over the entries of one container in document order.
template <typename Entry, typename Container>
class JsonIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Entry;
    using difference_type = std::ptrdiff_t;
    using pointer = const Entry*;
    using reference = const Entry&;

    JsonIterator() = default;
    JsonIterator(const JsonIndex* index, const unsigned char* open, JsonCursor first) noexcept
        : index_(index), next_(first) {
        Container::first(*this, open);
    }
    const Entry& operator*() const noexcept { return entry_; }
    const Entry* operator->() const noexcept { return &entry_; }
    JsonIterator& operator++() noexcept {
        Container::next(*this);
        return *this;
    }
    JsonIterator operator++(int) noexcept {
        JsonIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const JsonIterator& other) const noexcept { return at_ == other.at_; }

private:
    friend Container;
    const JsonIndex* index_ = nullptr;
    const unsigned char* at_ = nullptr;  // null once past the last entry
    JsonCursor next_;
    Entry entry_;
};

// The members of one object: a map from key to value, iterated in the order of the keys as
// sequences of unsigned UTF-16 units (a shorter prefix first). That order is worked out, from the
// UTF-8 text, only when the members are iterated; lookups and inDocumentOrder() need none.
class JsonMembers {
public:
    using iterator = std::vector<JsonMember>::const_iterator;
    using const_iterator = iterator;

    // Steps through the members as the document lists them.
    class DocumentOrder {
    public:
        using iterator = JsonIterator<JsonMember, DocumentOrder>;
        iterator begin() const noexcept;
        iterator end() const noexcept { return {}; }

    private:
        friend class JsonMembers;
        friend iterator;
        explicit DocumentOrder(const JsonMembers& members) noexcept : members_(members) {}
        static void first(iterator& position, const unsigned char* open) noexcept;
        static void next(iterator& position) noexcept;
        // Moves to the member that starts at `at`, which is passed rather than read back from the
        // iterator: the read would wait for the store just made.
        static void readMember(iterator& position, const unsigned char* at) noexcept;

        const JsonMembers& members_;
    };

    JsonMembers() = default;
    std::size_t size() const noexcept { return index_ ? index_->outline.containers[inside_.container].count : 0; }
    bool empty() const noexcept { return size() == 0; }
    iterator begin() const { return byKey().begin(); }
    iterator end() const { return byKey().end(); }
    DocumentOrder inDocumentOrder() const noexcept { return DocumentOrder(*this); }

private:
    friend class JsonValue;
    JsonMembers(const JsonIndex* index, const unsigned char* open, JsonCursor inside) noexcept
        : index_(index), open_(open), inside_(inside) {}
    const std::vector<JsonMember>& byKey() const;

    const JsonIndex* index_ = nullptr;
    const unsigned char* open_ = nullptr;
    JsonCursor inside_;
    mutable std::shared_ptr<const std::vector<JsonMember>> byKey_;  // built on the first iteration
};

// The items of one array, in document order.
class JsonItems {
public:
    using iterator = JsonIterator<JsonValue, JsonItems>;
    using const_iterator = iterator;

    JsonItems() = default;
    std::size_t size() const noexcept { return index_ ? index_->outline.containers[inside_.container].count : 0; }
    bool empty() const noexcept { return size() == 0; }
    iterator begin() const noexcept {
        return empty() ? end() : iterator(index_, open_, {inside_.container + 1, inside_.string});
    }
    iterator end() const noexcept { return {}; }

private:
    friend class JsonValue;
    friend iterator;
    JsonItems(const JsonIndex* index, const unsigned char* open, JsonCursor inside) noexcept
        : index_(index), open_(open), inside_(inside) {}
    static void first(iterator& position, const unsigned char* open) noexcept;
    static void next(iterator& position) noexcept;

    const JsonIndex* index_ = nullptr;
    const unsigned char* open_ = nullptr;
    JsonCursor inside_;
};

// A document that passed every rule of the strict reader. It moves without disturbing the values
// read from it.
class JsonDocument {
public:
    explicit JsonDocument(std::unique_ptr<const JsonIndex> index) noexcept : index_(std::move(index)) {}
    JsonValue root() const noexcept;
    // The string value at `offset`, which JsonValue::offset gave for a string of this document.
    JsonValue stringAt(std::uint32_t offset) const noexcept;

private:
    std::unique_ptr<const JsonIndex> index_;
};

// Checks a strict JSON document (UTF-8, no BOM, non-negative 64-bit integers only, no duplicate
// keys, bounded depth and array length). Throws PatchError with a fixed message.
JsonDocument parseJson(std::span<const unsigned char> document);

JsonMembers asObject(const JsonValue& value);
JsonItems asArray(const JsonValue& value);
std::u16string asString(const JsonValue& value);
void asString(const JsonValue& value, std::u16string& text);
std::uint64_t asUnsigned(const JsonValue& value);
// The value itself, once it is known to be a string.
const JsonValue& requireString(const JsonValue& value);

// The value stored under exactly `key`.
JsonValue requireField(const JsonMembers& members, const char16_t* key);
// Visits the members in key order and refuses the first whose key is not allowed.
void rejectUnknownFields(const JsonMembers& members, std::initializer_list<std::u16string_view> allowed);

// The field that bindFields found, unless the object lacks it.
const JsonValue& requireField(const JsonValue& field);

// The values of the members under the ASCII `keys`, in the order of `keys` (absent where the object
// has no such member), in one pass over the object. A member under any other key is refused, as
// rejectUnknownFields refuses it; requireField(field) then stands for requireField(members, key).
void bindFields(const JsonMembers& members, std::span<const std::string_view> keys, std::span<JsonValue> fields);

template <std::size_t count>
std::array<JsonValue, count> bindFields(const JsonMembers& members, const std::array<std::string_view, count>& keys) {
    std::array<JsonValue, count> fields;
    bindFields(members, keys, fields);
    return fields;
}

}  // namespace veskpatch
