#include "json/json_writer.h"

#include "json/number_text.h"
#include <cmath>

namespace iploc {
namespace {

// Characters written as \u escapes besides the control characters: invisible and
// format characters that would be lost or misread in transit.
bool InEscapeClass(char32_t c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0xad || (c >= 0x600 && c <= 0x604) || c == 0x70f ||
           c == 0x17b4 || c == 0x17b5 || (c >= 0x200c && c <= 0x200f) || (c >= 0x2028 && c <= 0x202f) ||
           (c >= 0x2060 && c <= 0x206f) || c == 0xfeff || (c >= 0xfff0 && c <= 0xffff);
}

// Decodes the UTF-8 sequence at `pos` (the model holds valid UTF-8 only) and returns its length.
std::size_t DecodeUtf8(std::string_view s, std::size_t pos, char32_t& c) {
    const auto b = static_cast<unsigned char>(s[pos]);
    std::size_t length = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (pos + length > s.size()) length = s.size() - pos;
    c = b & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
    for (std::size_t i = 1; i < length; ++i)
        c = (c << 6) | (static_cast<unsigned char>(s[pos + i]) & 0x3F);
    return length;
}

void AppendUnicodeEscape(char32_t c, std::string& out) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out.push_back(kHex[(c >> shift) & 0xF]);
}

void AppendEscaped(char32_t c, std::string& out) {
    switch (c) {
    case '"':
        out += "\\\"";
        return;
    case '\\':
        out += "\\\\";
        return;
    case '\b':
        out += "\\b";
        return;
    case '\t':
        out += "\\t";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\f':
        out += "\\f";
        return;
    case '\r':
        out += "\\r";
        return;
    default:
        AppendUnicodeEscape(c, out);
    }
}

void AppendNumber(double value, std::string& out) {
    if (std::isfinite(value)) {
        out += EcmaNumberText(value);
    } else {
        out += "null";
    }
}

void AppendObject(const JsonMembers& members, std::string& out) {
    out.push_back('{');
    bool first = true;
    for (const auto& member : members) {
        if (member.value.Is(JsonKind::Missing)) continue;
        if (!first) out.push_back(',');
        first = false;
        AppendJsonString(member.name, out);
        out.push_back(':');
        AppendJsonText(member.value, out);
    }
    out.push_back('}');
}

void AppendArray(const JsonArray& elements, std::string& out) {
    out.push_back('[');
    for (std::size_t i = 0; i < elements.size(); ++i) {
        if (i > 0) out.push_back(',');
        if (!AppendJsonText(elements[i], out)) out += "null"; // a hole
    }
    out.push_back(']');
}

} // namespace

void AppendJsonString(std::string_view utf8, std::string& out) {
    out.push_back('"');
    std::size_t runStart = 0;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[pos]);
        char32_t c = b;
        std::size_t length = 1;
        if (b >= 0x80) length = DecodeUtf8(utf8, pos, c);
        if (c == '"' || c == '\\' || InEscapeClass(c)) {
            out.append(utf8, runStart, pos - runStart);
            AppendEscaped(c, out);
            runStart = pos + length;
        }
        pos += length;
    }
    out.append(utf8, runStart, pos - runStart);
    out.push_back('"');
}

bool AppendJsonText(const JsonValue& value, std::string& out) {
    switch (value.kind()) {
    case JsonKind::Missing:
        return false;
    case JsonKind::Null:
        out += "null";
        break;
    case JsonKind::Boolean:
        out += value.boolean() ? "true" : "false";
        break;
    case JsonKind::Number:
        AppendNumber(value.number(), out);
        break;
    case JsonKind::Text:
        AppendJsonString(value.text(), out);
        break;
    case JsonKind::Object:
        AppendObject(value.members(), out);
        break;
    case JsonKind::Array:
        AppendArray(value.elements(), out);
        break;
    }
    return true;
}

} // namespace iploc
