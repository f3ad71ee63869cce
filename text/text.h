// Text: code page 936 byte strings and the text operations every module shares.
//
// A byte of 0x81 or above begins a two-byte character. Positions and lengths
// count bytes. A search never starts a match on the second byte of a two-byte
// character, and where case is ignored only ASCII letters are folded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace iploc {

// Code page 936 text. May be empty; the conversions read it up to its first zero byte.
using Text = std::string;
// A byte buffer that knows its length and may hold zero bytes anywhere.
using Bytes = std::string;
// The pieces of a text cut at a separator.
using TextList = std::vector<Text>;

inline constexpr std::size_t kNotFound = std::string::npos;

// True for a byte that begins a two-byte character (0x81 and above).
constexpr bool IsLeadByte(unsigned char byte) { return byte >= 0x81; }

// Offsets (0-based) at which characters start, in order; the text's size is not included.
std::vector<std::size_t> CharacterStarts(std::string_view text);

// First occurrence of `needle` starting at a character boundary at or after `from`
// (0-based); kNotFound when absent. An empty needle is found at `from`.
std::size_t Find(std::string_view text, std::string_view needle, std::size_t from = 0,
                 bool ignoreCase = false);
// Last occurrence of `needle` that starts at a character boundary and ends at or
// before `end` (0-based, exclusive; kNotFound means the end of the text).
std::size_t FindLast(std::string_view text, std::string_view needle, std::size_t end = kNotFound,
                     bool ignoreCase = false);
bool Contains(std::string_view text, std::string_view needle, bool ignoreCase = false);

bool StartsWith(std::string_view text, std::string_view prefix, bool ignoreCase = false);
bool EndsWith(std::string_view text, std::string_view suffix, bool ignoreCase = false);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
Text ToLowerAscii(std::string_view text);
Text ToUpperAscii(std::string_view text);

// Every occurrence of `from` replaced by `to`, left to right, never re-scanning replaced text.
Text ReplaceAll(std::string_view text, std::string_view from, std::string_view to, bool ignoreCase = false);

// The text cut at `separator`: empty pieces between separators are kept, a trailing
// empty piece is dropped, and an empty text gives no pieces.
TextList Split(std::string_view text, std::string_view separator);
Text Join(const TextList& pieces, std::string_view separator);

// Removes ASCII spaces (0x20) and double-byte spaces (A1 A1) at both ends, nothing else.
Text Trim(std::string_view text);

// The first / last `count` bytes; empty when count <= 0, the whole text when it is longer.
Text Left(std::string_view text, std::int64_t count);
Text Right(std::string_view text, std::int64_t count);
// `count` bytes from the 1-based `start`; empty when count <= 0 or start is past the end.
Text Mid(std::string_view text, std::int64_t start, std::int64_t count);

// Plain decimal digits, a minus sign only for negative values.
Text NumberText(std::int64_t value);

// The longest prefix of `text` no longer than `maxBytes` that does not end inside a
// two-byte character.
Text CutToWidth(std::string_view text, std::size_t maxBytes);

} // namespace iploc
