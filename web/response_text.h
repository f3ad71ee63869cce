// ResponseText: turns an answer's body into code page 936 text, decoding it from the
// charset a web page declares in a meta tag.
#pragma once

#include "regex/regex_object.h"
#include "text/text.h"

namespace iploc {

// The body up to its first zero byte, taken as code page 936 text, unless its first
// 1024 bytes declare another charset through "<meta ... charset=NAME": then the whole
// body decoded from NAME. "gbk" and "gb2312" (exactly so written) need no decoding,
// and a NAME the converter does not know leaves the plain text. The search runs on
// `regex`, whose results afterwards are those of that search.
Text ResponseText(const Bytes& body, RegexObject& regex);

} // namespace iploc
