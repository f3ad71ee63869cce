// The request header block that WebRequest sends: the caller's lines, the default headers
// it completes them with, header-name capitalisation and the cookie line.
#pragma once

#include "text/text.h"

#include <string_view>

namespace iploc {

// The header block for one request, lines separated by CR LF.
// - `extraHeaders`: the caller's lines (CR LF separated), kept first and in order.
// - `completeHeaders`: appends each default line (User-Agent, Accept, Accept-Encoding,
//   Accept-Language, Content-Type for POST only, Cache-Control) whose key the text does
//   not already contain, case ignored. The keys carry the blank behind the colon (except
//   "Content-Type:"), so "User-Agent:x" does not suppress the default agent.
// - `normalizeHeaderNames`: NormalizeHeaderNames over the whole block.
// - A "Connection: keep-alive" line followed by CR LF is removed when the Connection value
//   is exactly "keep-alive".
// - `cookies` becomes a "Cookie: " line (or is appended as it is when it already holds
//   "Cookie:") unless the block has a Cookie line of its own.
// `method` is the WebRequest method index; 1 is POST.
Text BuildRequestHeaders(std::string_view extraHeaders, std::string_view cookies, int method,
                         bool completeHeaders, bool normalizeHeaderNames);

// Every line's name capitalised piece by piece at "-" (content-type -> Content-Type, the
// other letters left alone); lines without a colon are dropped; no CR LF at the end.
Text NormalizeHeaderNames(std::string_view headers);

// The text with its first byte upper-cased when it is an ASCII lower-case letter.
Text CapitalizeFirst(std::string_view text);

// The value of the first line that begins with `name` (exact): what follows the last
// "name: " in that line, or empty. Later lines of the same name are never consulted.
Text HeaderValue(std::string_view headers, std::string_view name);

} // namespace iploc
