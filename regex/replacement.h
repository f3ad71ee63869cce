// The replacement syntax of RegexObject::Replace. Internal to the regex module.
#pragma once

#include "text/text.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace iploc::regex_detail {

// A stretch of the code page 936 subject, in bytes; `set` is false for a group that
// took part in no match.
struct ByteSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool set = false;
};
// The whole match first, then one span per capture group.
using ByteMatch = std::vector<ByteSpan>;

// `subject` with each of `matches` (in order, not overlapping) replaced by `replacement`,
// in which $$ is a dollar sign, $& the match, $` the text before it, $' the text after
// it and $1 to $9 a group's text (empty for a group that took part in no match). A $
// with anything else, $0 and a $n beyond the pattern's groups included, stays as written.
Text ReplaceMatches(std::string_view subject, const std::vector<ByteMatch>& matches,
                    std::string_view replacement);

} // namespace iploc::regex_detail
