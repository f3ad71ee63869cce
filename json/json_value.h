// The document model behind JsonObject: one JSON value and its members.
//
// Texts and member names are kept in UTF-8, so characters that code page 936 lacks
// survive inside a document; they become "?" only when read out as Text. Objects keep
// their members in creation order and a repeated name overwrites in place. Arrays may
// hold holes (missing members), which JSON text writes as null. "Missing" is also the
// value of a member that was assigned nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace iploc {

enum class JsonKind : std::uint8_t { Missing, Null, Boolean, Number, Text, Object, Array };

class JsonMembers;
class JsonValue;
using JsonArray = std::vector<JsonValue>;

// One value. Move-only: copies are explicit (Clone, CloneAsJson) because a document is
// a tree that is never shared between two places.
class JsonValue {
public:
    JsonValue() = default; // missing
    static JsonValue Null();
    static JsonValue Boolean(bool value);
    static JsonValue Number(double value);
    static JsonValue Text(std::string utf8);
    static JsonValue Object();
    static JsonValue Array();

    JsonValue(JsonValue&&) noexcept;
    JsonValue& operator=(JsonValue&&) noexcept;
    JsonValue(const JsonValue&) = delete;
    JsonValue& operator=(const JsonValue&) = delete;
    ~JsonValue();

    JsonKind kind() const { return static_cast<JsonKind>(data_.index()); }
    bool Is(JsonKind k) const { return kind() == k; }
    // Null or missing: the values a path test reads as "holds nothing".
    bool IsNothing() const { return kind() == JsonKind::Missing || kind() == JsonKind::Null; }

    bool boolean() const { return std::get<bool>(data_); }
    double number() const { return std::get<double>(data_); }
    const std::string& text() const { return std::get<std::string>(data_); }
    JsonMembers& members() { return *std::get<MembersPtr>(data_); }
    const JsonMembers& members() const { return *std::get<MembersPtr>(data_); }
    JsonArray& elements() { return *std::get<ArrayPtr>(data_); }
    const JsonArray& elements() const { return *std::get<ArrayPtr>(data_); }

    // An independent deep copy.
    JsonValue Clone() const;
    // The copy that writing JSON text and reading it back gives: members holding
    // missing values are left out, holes become null.
    JsonValue CloneAsJson() const;
    // Levels of containers: 0 for a scalar, 1 for a container of scalars (or empty).
    int Depth() const;

private:
    using MembersPtr = std::unique_ptr<JsonMembers>;
    using ArrayPtr = std::unique_ptr<JsonArray>;
    // The alternatives are in JsonKind order, so index() is the kind.
    std::variant<std::monostate, std::nullptr_t, bool, double, std::string, MembersPtr, ArrayPtr> data_;
};

struct JsonMember {
    std::string name; // UTF-8
    JsonValue value;
};

// An object's members in creation order, with a name index once the object grows large
// (so parsing an object with many members stays linear).
class JsonMembers {
public:
    JsonMembers() = default;
    JsonMembers(JsonMembers&&) noexcept = default;
    JsonMembers& operator=(JsonMembers&&) noexcept = default;

    std::size_t size() const { return members_.size(); }
    bool empty() const { return members_.empty(); }
    auto begin() const { return members_.begin(); }
    auto end() const { return members_.end(); }
    auto begin() { return members_.begin(); }
    auto end() { return members_.end(); }

    JsonValue* Find(std::string_view name);
    const JsonValue* Find(std::string_view name) const;
    // The member's value slot: the existing one, or a new missing member at the end.
    JsonValue& Slot(std::string_view name);
    // Stores `value` under `name`, in place when the name exists, else at the end.
    void Set(std::string_view name, JsonValue value);
    // Removes the member; the others keep their order. False when there is none.
    bool Remove(std::string_view name);

private:
    static constexpr std::size_t kIndexThreshold = 16;
    std::size_t IndexOf(std::string_view name) const;
    void Append(std::string_view name, JsonValue value);

    std::vector<JsonMember> members_;
    // Name -> position; built lazily for large objects, dropped when positions shift.
    mutable std::unique_ptr<std::unordered_map<std::string, std::size_t>> index_;
};

inline JsonValue::JsonValue(JsonValue&&) noexcept = default;
inline JsonValue& JsonValue::operator=(JsonValue&&) noexcept = default;
inline JsonValue::~JsonValue() = default;

// The JSON document that JsonObject and its copies share.
struct JsonDocument {
    JsonDocument() = default;
    explicit JsonDocument(JsonValue value) : root(std::move(value)) {}

    JsonValue root = JsonValue::Object();
};

} // namespace iploc
