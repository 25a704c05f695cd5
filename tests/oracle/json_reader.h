#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veskoracle {

enum class JsonKind : std::int32_t { Object = 0, Array = 1, String = 2, Integer = 3, Boolean = 4, Null = 5 };

class JsonValue;
class JsonReader;

// The members of one object, read like a std::map: ordered by key as sequences of unsigned 16-bit
// units (shorter prefix first), searched with find. They sit in one exactly sized array rather than
// in a node per member, which keeps a manifest's tree within a few times the document's size.
class JsonMembers {
public:
    using value_type = std::pair<std::u16string, JsonValue>;
    using const_iterator = std::vector<value_type>::const_iterator;
    using iterator = const_iterator;

    JsonMembers() = default;
    JsonMembers(JsonMembers&&) noexcept = default;
    JsonMembers& operator=(JsonMembers&&) noexcept = default;
    JsonMembers(const JsonMembers&) = delete;
    JsonMembers& operator=(const JsonMembers&) = delete;

    std::size_t size() const noexcept;
    bool empty() const noexcept;
    const_iterator begin() const noexcept;
    const_iterator end() const noexcept;
    // The member stored under exactly this key, or end().
    const_iterator find(std::u16string_view key) const;

private:
    friend class JsonReader;
    explicit JsonMembers(std::vector<value_type> sortedUniqueEntries) noexcept;

    std::vector<value_type> entries_;
};

using JsonItems = std::vector<JsonValue>;

// One node of the strict reader. It holds only the field that `kind` selects; the accessors of the
// other fields read as empty, zero or false. A value owns its children and is moved, never copied.
class JsonValue {
public:
    JsonValue() noexcept;  // Null
    explicit JsonValue(JsonMembers members) noexcept;
    explicit JsonValue(JsonItems items) noexcept;
    explicit JsonValue(std::u16string text) noexcept;
    explicit JsonValue(std::uint64_t integer) noexcept;
    explicit JsonValue(bool boolean) noexcept;
    JsonValue(JsonValue&& other) noexcept;
    JsonValue& operator=(JsonValue&& other) noexcept;
    JsonValue(const JsonValue&) = delete;
    JsonValue& operator=(const JsonValue&) = delete;
    ~JsonValue();

    JsonKind kind() const noexcept { return kind_; }
    const JsonMembers& members() const noexcept;
    const JsonItems& items() const noexcept;
    const std::u16string& stringValue() const noexcept;
    std::uint64_t integerValue() const noexcept;
    bool booleanValue() const noexcept;

private:
    void takeFrom(JsonValue&& other) noexcept;
    void release() noexcept;

    JsonKind kind_;
    union {
        JsonMembers members_;
        JsonItems items_;
        std::u16string string_;
        std::uint64_t integer_;
        bool boolean_;
    };
};

inline std::size_t JsonMembers::size() const noexcept { return entries_.size(); }
inline bool JsonMembers::empty() const noexcept { return entries_.empty(); }
inline JsonMembers::const_iterator JsonMembers::begin() const noexcept { return entries_.begin(); }
inline JsonMembers::const_iterator JsonMembers::end() const noexcept { return entries_.end(); }

inline JsonMembers::const_iterator JsonMembers::find(std::u16string_view key) const {
    const auto found = std::lower_bound(entries_.begin(), entries_.end(), key,
                                        [](const value_type& entry, std::u16string_view k) { return entry.first < k; });
    return found != entries_.end() && found->first == key ? found : entries_.end();
}

// Parses a strict JSON document (UTF-8, no BOM, non-negative 64-bit integers only, no duplicate
// keys, bounded depth and array length). Throws PatchError with a fixed message.
JsonValue parseJson(std::span<const unsigned char> document);

const JsonMembers& asObject(const JsonValue& value);
const JsonItems& asArray(const JsonValue& value);
const std::u16string& asString(const JsonValue& value);
std::uint64_t asUnsigned(const JsonValue& value);

const JsonValue& requireField(const JsonMembers& members, const char16_t* key);
void rejectUnknownFields(const JsonMembers& members, std::initializer_list<std::u16string_view> allowed);

}  // namespace veskoracle
