// Document values as plain text, the way a script's toString writes them.
#pragma once

#include "json/json_value.h"
#include <optional>
#include <string>

namespace iploc {

// Texts as they are, numbers by EcmaNumberText, "true" or "false", "[object Object]" for
// an object, and an array's members joined by "," (null and missing members as empty
// text, nested arrays joined the same way). Null and missing have no plain text.
std::optional<std::string> PlainText(const JsonValue& value);

} // namespace iploc
