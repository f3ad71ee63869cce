// JSON text of document values: no white space, members in creation order, the
// characters of the escape class as lowercase \u escapes, non-finite numbers as null.
#pragma once

#include "json/json_value.h"
#include <string>
#include <string_view>

namespace iploc {

// Appends the JSON text of `value` (UTF-8) to `out`. A missing value has no JSON text:
// nothing is appended and the result is false.
bool AppendJsonText(const JsonValue& value, std::string& out);

// Appends `utf8` as a JSON string, quoted and escaped.
void AppendJsonString(std::string_view utf8, std::string& out);

} // namespace iploc
