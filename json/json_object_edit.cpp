// JsonObject: the operations that change the document.
#include "json/json_merge.h"
#include "json/json_object.h"
#include "json/json_parser.h"
#include "json/model_text.h"
#include "json/number_text.h"
#include <algorithm>
#include <cmath>

namespace iploc {
namespace {

// The logical result of an assignment: a stored number or logical reads as itself
// (0 and false give false), a missing value gives false, any other stored value true.
bool AssignmentResult(const JsonValue& stored) {
    switch (stored.kind()) {
    case JsonKind::Number:
        return stored.number() != 0 && !std::isnan(stored.number());
    case JsonKind::Boolean:
        return stored.boolean();
    case JsonKind::Missing:
        return false;
    default:
        return true;
    }
}

// The value of an assignment's right-hand side: empty text assigns nothing (a missing
// value), anything else must be one JSON value.
bool ReadAssignedJson(const Text& text, ParsedJson& out) {
    if (text.empty()) {
        out = ParsedJson{};
        return true;
    }
    return ParseJsonFromText(text, out);
}

// A member to store: the text itself, or with `isRaw` one JSON value.
bool ReadMember(const Text& value, bool isRaw, ParsedJson& out) {
    if (isRaw) return ParseJsonFromText(value, out);
    out.value = JsonValue::Text(ToModelText(value));
    out.depth = 0;
    return true;
}

bool FitsNesting(std::size_t pathDepth, int valueDepth) {
    return pathDepth + static_cast<std::size_t>(valueDepth) <= static_cast<std::size_t>(kMaxJsonNesting);
}

} // namespace

bool JsonObject::StoreAt(const PathSteps& steps, JsonValue value, int valueDepth) {
    if (!FitsNesting(steps.size(), valueDepth)) return false;
    JsonValue* slot = AssignmentSlot(Root(), steps);
    if (slot == nullptr) return false;
    const bool result = AssignmentResult(value);
    *slot = std::move(value);
    return result;
}

bool JsonObject::SetValue(const Text& path, const Text& value, bool asJson) {
    const auto resolved = Resolve(path);
    if (!resolved.valid) return false;
    if (!asJson) return StoreAt(resolved.steps, JsonValue::Text(ToModelText(value)), 0);
    if (resolved.HoldsValue() && resolved.target.value->Is(JsonKind::Object)) {
        ParsedJson source;
        if (!ParseJsonFromText(value.empty() ? Text("{}") : value, source)) return false;
        if (!FitsNesting(resolved.steps.size(), source.depth)) return false;
        MergeInto(*LookUpMutable(Root(), resolved.steps), std::move(source.value));
        return true;
    }
    ParsedJson assigned;
    if (!ReadAssignedJson(value, assigned)) return false;
    return StoreAt(resolved.steps, std::move(assigned.value), assigned.depth);
}

bool JsonObject::AssignJson(const Text& path, const Text& jsonText) {
    const auto resolved = Resolve(path);
    ParsedJson assigned;
    if (!resolved.valid || !ReadAssignedJson(jsonText, assigned)) return false;
    return StoreAt(resolved.steps, std::move(assigned.value), assigned.depth);
}

bool JsonObject::ArrayAdd(const Text& value, const Text& path, bool isRaw, bool atFront) {
    // An empty raw value adds nothing, but the target still becomes an array.
    const bool addsMember = !(isRaw && value.empty());
    ParsedJson member;
    if (addsMember && !ReadMember(value, isRaw, member)) return false;
    const auto resolved = Resolve(path);
    if (!resolved.valid || !FitsNesting(resolved.steps.size() + 1, member.depth)) return false;
    JsonValue* target = AssignmentSlot(Root(), resolved.steps);
    if (target == nullptr) return false;
    if (!target->Is(JsonKind::Array)) *target = JsonValue::Array();
    auto& elements = target->elements();
    if (addsMember) elements.insert(atFront ? elements.begin() : elements.end(), std::move(member.value));
    return !elements.empty();
}

bool JsonObject::ArraySet(int index, const Text& path, const Text& value, bool isRaw) {
    ParsedJson member;
    auto resolved = Resolve(path);
    if (!resolved.valid || !ReadMember(value, isRaw, member)) return false;
    resolved.steps.push_back(IndexStep(index));
    return StoreAt(resolved.steps, std::move(member.value), member.depth);
}

bool JsonObject::ArrayRemove(int index, const Text& path) {
    const auto resolved = Resolve(path);
    if (!resolved.valid) return false;
    JsonValue* target = LookUpMutable(Root(), resolved.steps);
    if (target == nullptr || !target->Is(JsonKind::Array)) return false;
    auto& elements = target->elements();
    // A negative index counts from the end, as splice does.
    const auto size = static_cast<std::int64_t>(elements.size());
    const std::int64_t position = index < 0 ? std::max<std::int64_t>(size + index, 0) : index;
    if (position >= size) return false;
    elements.erase(elements.begin() + position);
    return true;
}

bool JsonObject::Remove(const Text& path) {
    const auto resolved = Resolve(path);
    return resolved.valid && DeleteAt(Root(), resolved.steps);
}

bool JsonObject::SetNumber(const Text& path, double number) {
    if (!std::isfinite(number)) return false;
    const auto resolved = Resolve(path);
    if (!resolved.valid) return false;
    // The number as "%.13g" writes it, read back: what the document then holds.
    const double stored = ReadNumberText(NumberTextG13(number)).value_or(number);
    return StoreAt(resolved.steps, JsonValue::Number(stored), 0);
}

} // namespace iploc
