#include "json/plain_text.h"

#include "json/number_text.h"

namespace iploc {
namespace {

void AppendPlainText(const JsonValue& value, std::string& out);

void AppendJoined(const JsonArray& elements, std::string& out) {
    for (std::size_t i = 0; i < elements.size(); ++i) {
        if (i > 0) out.push_back(',');
        AppendPlainText(elements[i], out);
    }
}

// Null and missing append nothing, as they do inside a joined array.
void AppendPlainText(const JsonValue& value, std::string& out) {
    switch (value.kind()) {
    case JsonKind::Missing:
    case JsonKind::Null:
        break;
    case JsonKind::Boolean:
        out += value.boolean() ? "true" : "false";
        break;
    case JsonKind::Number:
        out += EcmaNumberText(value.number());
        break;
    case JsonKind::Text:
        out += value.text();
        break;
    case JsonKind::Object:
        out += "[object Object]";
        break;
    case JsonKind::Array:
        AppendJoined(value.elements(), out);
        break;
    }
}

} // namespace

std::optional<std::string> PlainText(const JsonValue& value) {
    if (value.IsNothing()) return std::nullopt;
    if (value.Is(JsonKind::Text)) return value.text();
    std::string out;
    AppendPlainText(value, out);
    return out;
}

} // namespace iploc
