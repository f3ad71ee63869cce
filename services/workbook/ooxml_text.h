// Cell text as spreadsheet files store it: XML text in which "_xHHHH_" stands for a
// character XML cannot carry (control characters) and "_x005F_" escapes an underscore
// that would otherwise start such an escape.
#pragma once

#include <string>
#include <string_view>

namespace iploc::workbook {

// Replaces every "_xHHHH_" escape by its character (UTF-8), in place.
void DecodeCharacterEscapes(std::string& text);
// Appends `text` (UTF-8) as element content: XML-escaped, control characters and
// underscores that would read as escapes written as "_xHHHH_".
void AppendCellXmlText(std::string_view text, std::string& out);
// Most characters a cell holds (spreadsheets refuse longer texts).
inline constexpr std::size_t kMaxCellCharacters = 32767;
// `text` (UTF-8) cut after kMaxCellCharacters characters, counted in UTF-16 units as
// spreadsheets count them, never inside a character.
std::string_view LimitCellText(std::string_view text);
// True when the text needs xml:space="preserve" to keep its blanks.
bool NeedsSpacePreserve(std::string_view text);

} // namespace iploc::workbook
