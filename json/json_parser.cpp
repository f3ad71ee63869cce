#include "json/json_parser.h"

#include "json/model_text.h"
#include <algorithm>
#include <exception>
#include <nlohmann/json.hpp>

namespace iploc {
namespace {

// Builds the document from nlohmann's SAX events, keeping the open containers on a stack
// of pointers. A pointer stays valid while its container is open: the container's parent
// receives no other member until the container is closed.
class DocumentBuilder {
public:
    using Json = nlohmann::json;

    bool null() { return Place(JsonValue::Null()) != nullptr; }
    bool boolean(bool value) { return Place(JsonValue::Boolean(value)) != nullptr; }
    bool number_integer(Json::number_integer_t value) {
        return Place(JsonValue::Number(static_cast<double>(value))) != nullptr;
    }
    bool number_unsigned(Json::number_unsigned_t value) {
        return Place(JsonValue::Number(static_cast<double>(value))) != nullptr;
    }
    bool number_float(Json::number_float_t value, const Json::string_t&) {
        return Place(JsonValue::Number(value)) != nullptr;
    }
    bool string(Json::string_t& value) { return Place(JsonValue::Text(std::move(value))) != nullptr; }
    bool binary(Json::binary_t&) { return false; } // JSON text has no binary values
    bool start_object(std::size_t) { return Open(JsonValue::Object()); }
    bool key(Json::string_t& name) {
        key_ = std::move(name);
        return true;
    }
    bool end_object() { return Close(); }
    bool start_array(std::size_t) { return Open(JsonValue::Array()); }
    bool end_array() { return Close(); }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& ex) {
        errorPosition_ = position;
        errorId_ = ex.id;
        errorMessage_ = ex.what();
        return false;
    }

    JsonValue& root() { return root_; }
    int maxDepth() const { return maxDepth_; }
    bool tooDeep() const { return tooDeep_; }
    std::size_t errorPosition() const { return errorPosition_; }
    int errorId() const { return errorId_; }
    const std::string& errorMessage() const { return errorMessage_; }

private:
    JsonValue* Place(JsonValue value) {
        if (stack_.empty()) {
            root_ = std::move(value);
            return &root_;
        }
        JsonValue& parent = *stack_.back();
        if (parent.Is(JsonKind::Array)) {
            parent.elements().push_back(std::move(value));
            return &parent.elements().back();
        }
        JsonValue& slot = parent.members().Slot(key_);
        slot = std::move(value);
        return &slot;
    }

    bool Open(JsonValue container) {
        if (++depth_ > kMaxJsonNesting) {
            tooDeep_ = true;
            return false;
        }
        maxDepth_ = std::max(maxDepth_, depth_);
        stack_.push_back(Place(std::move(container)));
        return true;
    }

    bool Close() {
        stack_.pop_back();
        --depth_;
        return true;
    }

    JsonValue root_;
    std::vector<JsonValue*> stack_;
    std::string key_;
    int depth_ = 0;
    int maxDepth_ = 0;
    bool tooDeep_ = false;
    std::size_t errorPosition_ = 0;
    int errorId_ = 0;
    std::string errorMessage_;
};

constexpr std::size_t kMaxDescriptionBytes = 240;

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// nlohmann's message without its "[json.exception...]" tag and position (reported
// separately), cut to a readable length on a character boundary.
std::string DescriptionOf(const std::string& what) {
    std::string_view text(what);
    if (const auto tagEnd = text.find("] "); tagEnd != std::string_view::npos) text.remove_prefix(tagEnd + 2);
    if (text.rfind("parse error", 0) == 0) {
        if (const auto colon = text.find(": "); colon != std::string_view::npos)
            text.remove_prefix(colon + 2);
    }
    if (text.size() > kMaxDescriptionBytes) {
        auto cut = kMaxDescriptionBytes;
        while (cut > 0 && IsContinuationByte(text[cut]))
            --cut;
        return std::string(text.substr(0, cut)) + "...";
    }
    return std::string(text);
}

// Offset of the bracket that opens level kMaxJsonNesting + 1. The text before it is well
// formed (the parser got that far), so strings are the only thing to step over.
std::size_t TooDeepOffset(std::string_view utf8) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxJsonNesting) return i;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return utf8.size();
}

// 1-based line and character column of the byte at `offset`.
void LocateOffset(std::string_view utf8, std::size_t offset, JsonParseError& error) {
    offset = std::min(offset, utf8.size());
    const auto before = utf8.substr(0, offset);
    error.line = 1 + static_cast<int>(std::count(before.begin(), before.end(), '\n'));
    const auto lineStart = before.rfind('\n');
    const auto line = before.substr(lineStart == std::string_view::npos ? 0 : lineStart + 1);
    error.column = 1 + static_cast<int>(std::count_if(line.begin(), line.end(),
                                                      [](char c) { return !IsContinuationByte(c); }));
}

void DescribeFailure(std::string_view utf8, const DocumentBuilder& builder, JsonParseError& error) {
    if (builder.tooDeep()) {
        error.number = kJsonNestingTooDeep;
        error.description = "nesting deeper than " + std::to_string(kMaxJsonNesting) + " levels";
        LocateOffset(utf8, TooDeepOffset(utf8), error);
        return;
    }
    error.number = builder.errorId() == 406 ? kJsonNumberOutOfRange : kJsonSyntaxError;
    error.description = DescriptionOf(builder.errorMessage());
    // The parser reports how many characters it had read, the faulty one included.
    const auto position = builder.errorPosition();
    LocateOffset(utf8, position > 0 ? position - 1 : 0, error);
}

} // namespace

bool ParseJsonText(std::string_view utf8, ParsedJson& out, JsonParseError* error) {
    DocumentBuilder builder;
    bool ok = false;
    try {
        ok = nlohmann::json::sax_parse(utf8.begin(), utf8.end(), &builder);
    } catch (const std::exception& ex) {
        if (error) *error = JsonParseError{kJsonSyntaxError, ex.what(), 1, 1};
        return false;
    }
    if (!ok) {
        if (error) DescribeFailure(utf8, builder, *error);
        return false;
    }
    out.value = std::move(builder.root());
    out.depth = builder.maxDepth();
    return true;
}

bool ParseJsonFromText(std::string_view text, ParsedJson& out, JsonParseError* error) {
    return ParseJsonText(ToModelText(text.substr(0, text.find('\0'))), out, error);
}

} // namespace iploc
