// Reading JSON text into the document model (nlohmann's SAX parser, which is iterative:
// the nesting limit below is what bounds the depth, so hostile input cannot exhaust the
// stack here or in the recursive walks over the document later).
#pragma once

#include "json/json_value.h"
#include <string>
#include <string_view>

namespace iploc {

// Most levels of nested objects and arrays a document may have.
inline constexpr int kMaxJsonNesting = 512;

// The identity of a parse failure (ScriptErrorInfo::Number).
enum JsonParseErrorNumber : int {
    kJsonSyntaxError = 1,      // not one well-formed JSON value
    kJsonNumberOutOfRange = 2, // a number beyond the range of a double
    kJsonNestingTooDeep = 3,   // more than kMaxJsonNesting levels
};

struct JsonParseError {
    int number = 0;
    std::string description; // UTF-8, at most a few hundred bytes
    int line = 0;            // 1-based
    int column = 0;          // 1-based, counted in characters
};

struct ParsedJson {
    JsonValue value;
    int depth = 0; // JsonValue::Depth of value
};

// Reads exactly one JSON value from `utf8` (standard JSON; white space around it is
// allowed). On failure returns false, leaves `out` unspecified and fills `error` when given.
bool ParseJsonText(std::string_view utf8, ParsedJson& out, JsonParseError* error = nullptr);

// The same for code page 936 text, read up to its first zero byte.
bool ParseJsonFromText(std::string_view text, ParsedJson& out, JsonParseError* error = nullptr);

} // namespace iploc
