// Conversions between code page 936 text, UTF-8 and UTF-16, on ICU converters.
//
// Code page 936 is ICU's "windows-936-2000" (byte 0x80 is the euro sign).
// Code page 0, "the system's ANSI code page", means code page 936 in this program.
// No conversion fails on bad input: undecodable bytes become U+FFFD and characters
// that the target code page lacks become "?". A code page that is not known gives an
// empty result.
//
// UTF-16 buffers are Bytes of little-endian 16-bit units. Produced here they end with
// one zero unit (the terminator), which the size counts, unless stated otherwise; an
// empty input gives an empty buffer without terminator.
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace iploc {

inline constexpr int kCodePageAnsi = 0;
inline constexpr int kCodePage936 = 936;
inline constexpr int kCodePageUtf8 = 65001;

// `bytes` read in `codePage` up to their first zero byte, as UTF-16 with terminator.
Bytes MultiByteToUtf16(std::string_view bytes, int codePage);
// `text` read as code page 936; with `cutAtNul`, without terminator (CutUtf16AtNul).
Bytes AnsiToUtf16(std::string_view text, bool cutAtNul = false);
// `text`'s bytes read in `codePage` (UTF-8 by default).
Bytes TextToUtf16(std::string_view text, int codePage = kCodePageUtf8);
// The units before the first zero unit; an odd last byte is dropped. Empty when the
// buffer begins with a zero unit; otherwise followed by a zero unit when `withTerminator`.
Bytes CutUtf16AtNul(std::string_view buffer, bool withTerminator = false);
// The units up to the first zero unit, in `codePage`, without terminator.
Bytes Utf16ToMultiByte(std::string_view buffer, int codePage);
Text Utf16ToText(std::string_view buffer, int codePage = kCodePageAnsi);
Text Utf16ToAnsi(std::string_view buffer);
// UTF-8 bytes (up to the first zero byte) as code page 936 text.
Text Utf8ToAnsi(std::string_view utf8);

// Edge helpers for the terminal, file names, Qt and JSON (no terminators, no NUL cuts).
std::string TextToUtf8(std::string_view text);
Text Utf8ToText(std::string_view utf8);
std::u16string TextToU16(std::string_view text);
Text U16ToText(std::u16string_view units);
std::u16string Utf8ToU16(std::string_view utf8);
std::string U16ToUtf8(std::u16string_view units);

// Decodes `bytes` from the charset named `charset` (any name ICU knows) into code page
// 936 text. Returns false, leaving `out` untouched, when ICU does not know the name.
bool DecodeCharsetToText(std::string_view bytes, std::string_view charset, Text& out);

// Helpers between UTF-16 buffers (Bytes) and UTF-16 strings, without terminators.
std::u16string Utf16BufferToU16(std::string_view buffer);
Bytes U16ToUtf16Buffer(std::u16string_view units, bool withTerminator);

} // namespace iploc
