// Cookies as WebRequest carries them: one text of "name=value" items separated by "; ",
// with no attributes (path, expiry, domain) anywhere.
#pragma once

#include "text/text.h"

#include <string_view>

namespace iploc {

// When `line` is a "Set-Cookie: " response header line (the name written exactly so),
// appends its cookie (the text up to the first ";", trimmed) and "; " to `returnedCookies`.
void CollectSetCookies(std::string_view line, Text& returnedCookies);

// Merges the cookies an answer set (`received`) into the ones that were sent (`sent`):
// the received items first, in order, then the sent ones whose name the answer did not
// set; an item ending in "=deleted" is dropped (and with it the sent cookie of its name);
// an item repeated word for word is listed once. Both arguments are trimmed first (a
// trailing ";" counts as a separator); the result is also left in `sent`.
Text MergeCookies(Text& sent, Text& received);

// The text before the first "=", trimmed; the whole item trimmed when it has no "=".
Text CookieName(std::string_view item);

// True when some item of `list` has exactly the cookie name `name`.
bool HasCookieName(const TextList& list, std::string_view name);

} // namespace iploc
