// Texts between the program (code page 936) and the document model (UTF-8).
#pragma once

#include "text/text.h"

#include <string>
#include <string_view>

namespace iploc {

// Code page 936 text as UTF-8 (bytes that do not decode become U+FFFD).
std::string ToModelText(std::string_view text);
// UTF-8 from the model as code page 936 text; characters that code page 936 lacks become "?".
Text FromModelText(std::string_view utf8);

} // namespace iploc
