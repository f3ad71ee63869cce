// JsonObject: life cycle, parsing and the read operations.
#include "json/json_object.h"

#include "json/json_parser.h"
#include "json/json_writer.h"
#include "json/model_text.h"
#include "json/number_text.h"
#include "json/plain_text.h"
#include <climits>

namespace iploc {
namespace {

int TypeCodeOf(const JsonValue& value) {
    switch (value.kind()) {
    case JsonKind::Missing:
    case JsonKind::Null:
        return 0;
    case JsonKind::Boolean:
        return 1;
    case JsonKind::Number:
        return 2;
    case JsonKind::Object:
        return 4;
    case JsonKind::Array:
        return 5;
    case JsonKind::Text:
        return 6;
    }
    return -1;
}

Text JsonTextOf(const JsonValue* value) {
    std::string json;
    if (value == nullptr || !AppendJsonText(*value, json)) return {};
    return FromModelText(json);
}

void FillErrorInfo(bool accepted, const JsonParseError& error, ScriptErrorInfo& info) {
    info = ScriptErrorInfo{};
    if (accepted) return;
    info.Number = error.number;
    info.Description = FromModelText(error.description);
    info.Line = error.line;
    info.Column = error.column;
}

void CollectLeaves(const JsonValue& container, bool recursive, TextList& out);

void CollectLeaf(const JsonValue& value, bool recursive, TextList& out) {
    if (value.Is(JsonKind::Object) || value.Is(JsonKind::Array)) {
        if (recursive) CollectLeaves(value, recursive, out);
    } else if (value.Is(JsonKind::Text) || value.Is(JsonKind::Number) || value.Is(JsonKind::Boolean)) {
        out.push_back(FromModelText(*PlainText(value)));
    }
}

void CollectLeaves(const JsonValue& container, bool recursive, TextList& out) {
    if (container.Is(JsonKind::Object)) {
        for (const auto& member : container.members())
            CollectLeaf(member.value, recursive, out);
    } else if (container.Is(JsonKind::Array)) {
        for (const auto& element : container.elements())
            CollectLeaf(element, recursive, out);
    }
}

int CountOf(std::size_t size) {
    return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

} // namespace

JsonObject::JsonObject() {
    SetUpEngine();
}

JsonObject::JsonObject(const JsonObject& other) = default;

JsonObject& JsonObject::operator=(const JsonObject& other) = default;

JsonObject::~JsonObject() = default;

void JsonObject::SetUpEngine() {
    document_ = std::make_shared<JsonDocument>();
}

bool JsonObject::Parse(const Text& text, bool /*asLiteral*/, ScriptErrorInfo* errorInfo) {
    // A fresh document: copies made before keep the old one.
    document_ = std::make_shared<JsonDocument>(JsonValue::Null());
    ParsedJson parsed;
    JsonParseError error;
    const bool accepted = ParseJsonFromText(text, parsed, errorInfo ? &error : nullptr);
    if (errorInfo) FillErrorInfo(accepted, error, *errorInfo);
    if (accepted) Root() = std::move(parsed.value);
    return !Root().IsNothing();
}

bool JsonObject::Clear() {
    Root() = JsonValue::Object();
    return true;
}

Text JsonObject::ToJsonText() const {
    return JsonTextOf(&Root());
}

ResolvedPath JsonObject::Resolve(const Text& path) const {
    return ResolvePathSteps(ToModelText(path), Root());
}

bool JsonObject::ResolvePath(Text& path) const {
    const auto resolved = Resolve(path);
    if (!resolved.keptAsGiven) {
        const Text root(kRootVariableName);
        path = path.empty() ? root : path.front() == '[' ? root + path : root + "." + path;
    }
    return resolved.HoldsValue();
}

bool JsonObject::Exists(const Text& path) const {
    return Resolve(path).HoldsValue();
}

int JsonObject::GetType(const Text& path) const {
    const auto target = Resolve(path).target;
    if (target.failed) return -1;
    return target.value == nullptr ? 0 : TypeCodeOf(*target.value);
}

Text JsonObject::GetText(const Text& path, bool asJson) const {
    const auto target = Resolve(path).target;
    if (asJson) return JsonTextOf(target.value);
    if (target.value == nullptr) return {};
    const auto text = PlainText(*target.value);
    return text ? FromModelText(*text) : Text();
}

int JsonObject::GetMemberNames(TextList& names, const Text& path) const {
    names.clear();
    const auto* value = Resolve(path).target.value;
    if (value == nullptr || !value->Is(JsonKind::Object)) return 0;
    names.reserve(value->members().size());
    for (const auto& member : value->members())
        names.push_back(FromModelText(member.name));
    return CountOf(names.size());
}

int JsonObject::GetCount(const Text& path) const {
    const auto* value = Resolve(path).target.value;
    return value != nullptr && value->Is(JsonKind::Array) ? CountOf(value->elements().size()) : 0;
}

JsonObject JsonObject::HoldingCopyOf(const JsonValue* value) {
    JsonObject copy;
    copy.Root() = value == nullptr || value->Is(JsonKind::Missing) ? JsonValue::Null() : value->CloneAsJson();
    return copy;
}

JsonObject JsonObject::GetObject(const Text& path) const {
    return HoldingCopyOf(Resolve(path).target.value);
}

JsonObject JsonObject::ArrayGetObject(int index, const Text& path) const {
    auto resolved = Resolve(path);
    if (!resolved.valid) return HoldingCopyOf(nullptr);
    resolved.steps.push_back(IndexStep(index));
    return HoldingCopyOf(LookUp(Root(), resolved.steps).value);
}

Text JsonObject::ArrayGetText(int index, const Text& path, bool asJson) const {
    auto resolved = Resolve(path);
    if (!resolved.valid) return {};
    resolved.steps.push_back(IndexStep(index));
    const auto* value = LookUp(Root(), resolved.steps).value;
    if (asJson) return JsonTextOf(value);
    return value != nullptr && value->Is(JsonKind::Text) ? FromModelText(value->text()) : Text();
}

double JsonObject::GetNumber(const Text& path) const {
    const auto* value = Resolve(path).target.value;
    if (value == nullptr) return 0;
    switch (value->kind()) {
    case JsonKind::Number:
        return value->number();
    case JsonKind::Boolean:
        return value->boolean() ? -1 : 0;
    case JsonKind::Text:
        return ReadNumberText(value->text()).value_or(0);
    default:
        return 0;
    }
}

Text JsonObject::GetJsonText(const Text& path) const {
    return GetText(path, true);
}

JsonEngine JsonObject::GetEngine() const {
    return document_;
}

int JsonObject::GetLeafValues(TextList& values, const Text& path, bool recursive) const {
    values.clear();
    const auto* value = Resolve(path).target.value;
    if (value != nullptr) CollectLeaves(*value, recursive, values);
    return CountOf(values.size());
}

} // namespace iploc
