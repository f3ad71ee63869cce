// Cutting texts at separators and markers, and the item lists the header and cookie code
// builds on. Every search goes through text/text.h, so a match never starts on the second
// byte of a two-byte character and ignoring case folds ASCII letters only.
#pragma once

#include "text/text.h"

#include <cstdint>
#include <string_view>

namespace iploc {

// The text in front of the first occurrence of `separator`; empty when it is not found
// (an empty separator is never found).
// `start` (1-based) is where the forward search begins; 0 means "not given" (from the
// first character). A negative start -k searches backward instead: it finds the last
// occurrence that lies within the first (length - k + 1) characters, so -1 finds the last
// occurrence in the whole text. The result always runs from the beginning of the text.
Text TextBefore(std::string_view text, std::string_view separator, std::int64_t start = 0,
                bool ignoreCase = false);

// The text behind the last occurrence of `separator`; empty when it is not found.
// `start` (1-based) is where the backward search begins: only an occurrence that ends at
// or before that character counts; 0 means "not given" (from the end). A negative start
// -k searches forward instead, from the k-th character, so -1 finds the first occurrence.
// The result always runs to the end of the text.
Text TextAfter(std::string_view text, std::string_view separator, std::int64_t start = 0,
               bool ignoreCase = false);

// The text between the first `left` marker found from `start` (1-based, 0 = the first
// character, -k = the k-th character from the end) and the first `right` marker behind
// it; empty when either is missing. "#引号" inside a marker stands for a double quote.
Text TextBetween(std::string_view text, std::string_view left, std::string_view right, std::int64_t start = 0,
                 bool ignoreCase = false);

// The characters of `text` in order: a lead byte (0x81 and above) with the byte behind
// it, CR LF as one item, any other byte alone; a lead byte with nothing behind it is an
// item of its own.
TextList SplitCharacters(std::string_view text);

// 1-based position of the first item equal to `item` byte for byte; -1 when none is.
int FindItem(const TextList& list, std::string_view item);

// The items of `text` (cut at `separator` when `bySeparator`, else its characters) with
// every repetition of an earlier item left out, joined by `separator`.
Text RemoveDuplicateItems(std::string_view text, std::string_view separator, bool bySeparator);

} // namespace iploc
