#include "json/json_value.h"

#include <algorithm>

namespace iploc {

JsonValue JsonValue::Null() {
    JsonValue v;
    v.data_ = nullptr;
    return v;
}

JsonValue JsonValue::Boolean(bool value) {
    JsonValue v;
    v.data_ = value;
    return v;
}

JsonValue JsonValue::Number(double value) {
    JsonValue v;
    v.data_ = value;
    return v;
}

JsonValue JsonValue::Text(std::string utf8) {
    JsonValue v;
    v.data_ = std::move(utf8);
    return v;
}

JsonValue JsonValue::Object() {
    JsonValue v;
    v.data_ = std::make_unique<JsonMembers>();
    return v;
}

JsonValue JsonValue::Array() {
    JsonValue v;
    v.data_ = std::make_unique<JsonArray>();
    return v;
}

JsonValue JsonValue::Clone() const {
    switch (kind()) {
    case JsonKind::Object: {
        auto copy = Object();
        for (const auto& member : members())
            copy.members().Set(member.name, member.value.Clone());
        return copy;
    }
    case JsonKind::Array: {
        auto copy = Array();
        copy.elements().reserve(elements().size());
        for (const auto& element : elements())
            copy.elements().push_back(element.Clone());
        return copy;
    }
    case JsonKind::Missing:
        return {};
    case JsonKind::Null:
        return Null();
    case JsonKind::Boolean:
        return Boolean(boolean());
    case JsonKind::Number:
        return Number(number());
    case JsonKind::Text:
        return Text(text());
    }
    return {};
}

JsonValue JsonValue::CloneAsJson() const {
    if (Is(JsonKind::Object)) {
        auto copy = Object();
        for (const auto& member : members()) {
            if (!member.value.Is(JsonKind::Missing))
                copy.members().Set(member.name, member.value.CloneAsJson());
        }
        return copy;
    }
    if (Is(JsonKind::Array)) {
        auto copy = Array();
        copy.elements().reserve(elements().size());
        for (const auto& element : elements()) {
            copy.elements().push_back(element.Is(JsonKind::Missing) ? Null() : element.CloneAsJson());
        }
        return copy;
    }
    return Clone();
}

int JsonValue::Depth() const {
    int deepest = 0;
    if (Is(JsonKind::Object)) {
        for (const auto& member : members())
            deepest = std::max(deepest, member.value.Depth());
    } else if (Is(JsonKind::Array)) {
        for (const auto& element : elements())
            deepest = std::max(deepest, element.Depth());
    } else {
        return 0;
    }
    return deepest + 1;
}

std::size_t JsonMembers::IndexOf(std::string_view name) const {
    if (members_.size() < kIndexThreshold) {
        for (std::size_t i = 0; i < members_.size(); ++i) {
            if (members_[i].name == name) return i;
        }
        return members_.size();
    }
    if (!index_) {
        index_ = std::make_unique<std::unordered_map<std::string, std::size_t>>();
        index_->reserve(members_.size() * 2);
        for (std::size_t i = 0; i < members_.size(); ++i)
            index_->emplace(members_[i].name, i);
    }
    const auto it = index_->find(std::string(name));
    return it == index_->end() ? members_.size() : it->second;
}

JsonValue* JsonMembers::Find(std::string_view name) {
    const auto i = IndexOf(name);
    return i < members_.size() ? &members_[i].value : nullptr;
}

const JsonValue* JsonMembers::Find(std::string_view name) const {
    const auto i = IndexOf(name);
    return i < members_.size() ? &members_[i].value : nullptr;
}

void JsonMembers::Append(std::string_view name, JsonValue value) {
    // Objects usually have a handful of members: skip the first rounds of regrowth.
    if (members_.capacity() == 0) members_.reserve(8);
    members_.push_back(JsonMember{std::string(name), std::move(value)});
    if (index_) index_->emplace(members_.back().name, members_.size() - 1);
}

JsonValue& JsonMembers::Slot(std::string_view name) {
    const auto i = IndexOf(name);
    if (i < members_.size()) return members_[i].value;
    Append(name, JsonValue());
    return members_.back().value;
}

void JsonMembers::Set(std::string_view name, JsonValue value) {
    const auto i = IndexOf(name);
    if (i < members_.size()) {
        members_[i].value = std::move(value);
    } else {
        Append(name, std::move(value));
    }
}

bool JsonMembers::Remove(std::string_view name) {
    const auto i = IndexOf(name);
    if (i >= members_.size()) return false;
    members_.erase(members_.begin() + static_cast<std::ptrdiff_t>(i));
    index_.reset();
    return true;
}

} // namespace iploc
