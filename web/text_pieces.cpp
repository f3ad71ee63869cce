#include "web/text_pieces.h"

#include "text/encoding.h"

namespace iploc {
namespace {

// Byte offset (0-based) of the 1-based position `start`; positions before the text clamp to 0.
std::size_t OffsetOf(std::int64_t start) {
    return start > 1 ? static_cast<std::size_t>(start - 1) : 0;
}

Text WithQuotes(std::string_view marker) {
    static const Text quoteWord = Utf8ToText("#引号");
    return ReplaceAll(marker, quoteWord, "\"");
}

} // namespace

Text TextBefore(std::string_view text, std::string_view separator, std::int64_t start, bool ignoreCase) {
    if (separator.empty()) return {};
    std::size_t found = kNotFound;
    if (start >= 0) {
        found = Find(text, separator, OffsetOf(start), ignoreCase);
    } else {
        const std::int64_t limit = static_cast<std::int64_t>(text.size()) + start + 1;
        if (limit > 0) found = FindLast(text, separator, static_cast<std::size_t>(limit), ignoreCase);
    }
    return found == kNotFound ? Text{} : Text(text.substr(0, found));
}

Text TextAfter(std::string_view text, std::string_view separator, std::int64_t start, bool ignoreCase) {
    if (separator.empty()) return {};
    std::size_t found = kNotFound;
    if (start < 0) {
        found = Find(text, separator, OffsetOf(-start), ignoreCase);
    } else {
        const std::size_t end = start == 0 ? text.size() : static_cast<std::size_t>(start);
        found = FindLast(text, separator, end, ignoreCase);
    }
    return found == kNotFound ? Text{} : Text(text.substr(found + separator.size()));
}

Text TextBetween(std::string_view text, std::string_view left, std::string_view right, std::int64_t start,
                 bool ignoreCase) {
    const Text leftMarker = WithQuotes(left);
    const Text rightMarker = WithQuotes(right);
    if (leftMarker.empty() || rightMarker.empty()) return {};
    std::size_t from = OffsetOf(start);
    if (start < 0) {
        const std::int64_t fromEnd = static_cast<std::int64_t>(text.size()) + start;
        if (fromEnd < 0) return {};
        from = static_cast<std::size_t>(fromEnd);
    }
    const std::size_t leftAt = Find(text, leftMarker, from, ignoreCase);
    if (leftAt == kNotFound) return {};
    const std::size_t inner = leftAt + leftMarker.size();
    const std::size_t rightAt = Find(text, rightMarker, inner, ignoreCase);
    if (rightAt == kNotFound) return {};
    return Text(text.substr(inner, rightAt - inner));
}

TextList SplitCharacters(std::string_view text) {
    TextList items;
    std::size_t pos = 0;
    while (pos + 1 < text.size()) {
        const bool pair =
            IsLeadByte(static_cast<unsigned char>(text[pos])) || (text[pos] == '\r' && text[pos + 1] == '\n');
        const std::size_t length = pair ? 2 : 1;
        items.emplace_back(text.substr(pos, length));
        pos += length;
    }
    if (pos < text.size()) items.emplace_back(text.substr(pos));
    return items;
}

int FindItem(const TextList& list, std::string_view item) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == item) return static_cast<int>(i + 1);
    }
    return -1;
}

Text RemoveDuplicateItems(std::string_view text, std::string_view separator, bool bySeparator) {
    const TextList items = bySeparator ? Split(text, separator) : SplitCharacters(text);
    TextList taken;
    Text result;
    for (const auto& item : items) {
        if (FindItem(taken, item) != -1) continue;
        taken.push_back(item);
        result.append(item).append(separator);
    }
    if (result.size() < separator.size()) return {};
    result.resize(result.size() - separator.size());
    return result;
}

} // namespace iploc
