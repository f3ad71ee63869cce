#include "text/text.h"

#include <algorithm>
#include <charconv>

namespace iploc {
namespace {

constexpr unsigned char kWideSpaceByte = 0xA1;

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

bool BytesEqual(std::string_view a, std::string_view b, bool ignoreCase) {
    if (a.size() != b.size()) return false;
    if (!ignoreCase) return a == b;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

// Length of the character that starts at `pos`: two for a lead byte with a byte behind it.
std::size_t CharLength(std::string_view text, std::size_t pos) {
    return (IsLeadByte(text[pos]) && pos + 1 < text.size()) ? 2 : 1;
}

} // namespace

std::vector<std::size_t> CharacterStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    starts.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size(); pos += CharLength(text, pos))
        starts.push_back(pos);
    return starts;
}

namespace {

// First character boundary at or after `target`, walking from the known boundary `pos`.
std::size_t BoundaryAtOrAfter(std::string_view text, std::size_t pos, std::size_t target) {
    while (pos < target)
        pos += CharLength(text, pos);
    return pos;
}

// Find, for a `from` already known to be a character boundary.
std::size_t FindFromBoundary(std::string_view text, std::string_view needle, std::size_t pos,
                             bool ignoreCase) {
    if (needle.empty()) return pos <= text.size() ? pos : kNotFound;
    for (; pos + needle.size() <= text.size(); pos += CharLength(text, pos)) {
        if (BytesEqual(text.substr(pos, needle.size()), needle, ignoreCase)) return pos;
    }
    return kNotFound;
}

// Calls `onHit(hit)` for every occurrence, left to right, without overlaps; returns the
// boundary after the last one. Linear in the text: the walk never restarts from the beginning.
template <typename OnHit>
std::size_t ForEachOccurrence(std::string_view text, std::string_view needle, bool ignoreCase, OnHit onHit) {
    std::size_t pos = 0;
    for (std::size_t hit; (hit = FindFromBoundary(text, needle, pos, ignoreCase)) != kNotFound;) {
        onHit(hit);
        pos = BoundaryAtOrAfter(text, hit, hit + needle.size());
    }
    return pos;
}

} // namespace

std::size_t Find(std::string_view text, std::string_view needle, std::size_t from, bool ignoreCase) {
    if (from > text.size()) return kNotFound;
    return FindFromBoundary(text, needle, BoundaryAtOrAfter(text, 0, from), ignoreCase);
}

std::size_t FindLast(std::string_view text, std::string_view needle, std::size_t end, bool ignoreCase) {
    if (end > text.size()) end = text.size();
    if (needle.size() > end) return kNotFound;
    std::size_t found = kNotFound;
    for (std::size_t pos = 0; pos + needle.size() <= end; pos += CharLength(text, pos)) {
        if (BytesEqual(text.substr(pos, needle.size()), needle, ignoreCase)) found = pos;
        if (pos >= text.size()) break;
    }
    return found;
}

bool Contains(std::string_view text, std::string_view needle, bool ignoreCase) {
    return Find(text, needle, 0, ignoreCase) != kNotFound;
}

bool StartsWith(std::string_view text, std::string_view prefix, bool ignoreCase) {
    return text.size() >= prefix.size() && BytesEqual(text.substr(0, prefix.size()), prefix, ignoreCase);
}

bool EndsWith(std::string_view text, std::string_view suffix, bool ignoreCase) {
    return text.size() >= suffix.size() &&
           BytesEqual(text.substr(text.size() - suffix.size()), suffix, ignoreCase);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return BytesEqual(a, b, true);
}

Text ToLowerAscii(std::string_view text) {
    Text out(text);
    for (auto& c : out)
        c = static_cast<char>(FoldAscii(c));
    return out;
}

Text ToUpperAscii(std::string_view text) {
    Text out(text);
    for (auto& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
    }
    return out;
}

Text ReplaceAll(std::string_view text, std::string_view from, std::string_view to, bool ignoreCase) {
    if (from.empty()) return Text(text);
    Text out;
    out.reserve(text.size());
    std::size_t copied = 0;
    ForEachOccurrence(text, from, ignoreCase, [&](std::size_t hit) {
        out.append(text.substr(copied, hit - copied)).append(to);
        copied = hit + from.size();
    });
    out.append(text.substr(std::min(copied, text.size())));
    return out;
}

TextList Split(std::string_view text, std::string_view separator) {
    TextList pieces;
    if (text.empty()) return pieces;
    if (separator.empty()) return {Text(text)};
    std::size_t pieceStart = 0;
    ForEachOccurrence(text, separator, false, [&](std::size_t hit) {
        pieces.emplace_back(text.substr(pieceStart, hit - pieceStart));
        pieceStart = hit + separator.size();
    });
    if (pieceStart < text.size()) pieces.emplace_back(text.substr(pieceStart));
    return pieces;
}

Text Join(const TextList& pieces, std::string_view separator) {
    Text out;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) out.append(separator);
        out.append(pieces[i]);
    }
    return out;
}

Text Trim(std::string_view text) {
    // Walk whole characters so that an A1 A1 pair is only taken when it is one character.
    const auto starts = CharacterStarts(text);
    auto isBlank = [&](std::size_t index) {
        const std::size_t pos = starts[index];
        const std::size_t end = index + 1 < starts.size() ? starts[index + 1] : text.size();
        const auto ch = text.substr(pos, end - pos);
        return ch == " " || (ch.size() == 2 && static_cast<unsigned char>(ch[0]) == kWideSpaceByte &&
                             static_cast<unsigned char>(ch[1]) == kWideSpaceByte);
    };
    std::size_t first = 0, last = starts.size();
    while (first < last && isBlank(first))
        ++first;
    while (last > first && isBlank(last - 1))
        --last;
    if (first == last) return {};
    const std::size_t end = last < starts.size() ? starts[last] : text.size();
    return Text(text.substr(starts[first], end - starts[first]));
}

Text Left(std::string_view text, std::int64_t count) {
    if (count <= 0) return {};
    return Text(text.substr(0, static_cast<std::size_t>(std::min<std::int64_t>(count, text.size()))));
}

Text Right(std::string_view text, std::int64_t count) {
    if (count <= 0) return {};
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(count, text.size()));
    return Text(text.substr(text.size() - n));
}

Text Mid(std::string_view text, std::int64_t start, std::int64_t count) {
    if (count <= 0 || start < 1 || static_cast<std::uint64_t>(start) > text.size()) return {};
    return Text(text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count)));
}

Text NumberText(std::int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return Text(buffer, result.ptr);
}

Text CutToWidth(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return Text(text);
    std::size_t end = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t next = pos + CharLength(text, pos);
        if (next > maxBytes) break;
        end = pos = next;
    }
    return Text(text.substr(0, end));
}

} // namespace iploc
