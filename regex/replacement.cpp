#include "regex/replacement.h"

namespace iploc::regex_detail {
namespace {

std::string_view Cut(std::string_view subject, std::size_t begin, std::size_t end) {
    return subject.substr(begin, end - begin);
}

// The text a "$x" stands for, or false when "$x" is no placeholder and stays as written.
bool ExpandPlaceholder(char x, std::string_view subject, const ByteMatch& match, Text& out) {
    const ByteSpan& whole = match.front();
    switch (x) {
    case '$':
        out += '$';
        return true;
    case '&':
        out += Cut(subject, whole.begin, whole.end);
        return true;
    case '`':
        out += subject.substr(0, whole.begin);
        return true;
    case '\'':
        out += subject.substr(whole.end);
        return true;
    default:
        break;
    }
    if (x < '1' || x > '9') return false;
    const auto group = static_cast<std::size_t>(x - '0');
    if (group >= match.size()) return false;
    if (match[group].set) out += Cut(subject, match[group].begin, match[group].end);
    return true;
}

// A '$' byte never stands inside a two-byte character (trail bytes are 0x40 and above),
// so scanning bytes is safe.
void AppendExpanded(std::string_view replacement, std::string_view subject, const ByteMatch& match,
                    Text& out) {
    for (std::size_t i = 0; i < replacement.size(); ++i) {
        if (replacement[i] == '$' && i + 1 < replacement.size() &&
            ExpandPlaceholder(replacement[i + 1], subject, match, out)) {
            ++i;
            continue;
        }
        out += replacement[i];
    }
}

} // namespace

Text ReplaceMatches(std::string_view subject, const std::vector<ByteMatch>& matches,
                    std::string_view replacement) {
    Text out;
    out.reserve(subject.size());
    std::size_t copied = 0;
    for (const auto& match : matches) {
        out += Cut(subject, copied, match.front().begin);
        AppendExpanded(replacement, subject, match, out);
        copied = match.front().end;
    }
    out += subject.substr(copied);
    return out;
}

} // namespace iploc::regex_detail
