#include "web/cookies.h"

#include "web/text_pieces.h"

namespace iploc {
namespace {

constexpr std::string_view kItemSeparator = "; ";
constexpr std::string_view kDeletedSuffix = "=deleted";

// Trimmed, with a blank behind a final ";" so that it cuts like any other separator.
void TidyCookieText(Text& cookies) {
    cookies = Trim(cookies);
    if (EndsWith(cookies, ";")) cookies.push_back(' ');
}

} // namespace

void CollectSetCookies(std::string_view line, Text& returnedCookies) {
    // Same as TextBefore(line, ": ") == "Set-Cookie": the name contains no ": " of its own.
    if (!StartsWith(line, "Set-Cookie: ")) return;
    // Everything behind the first ";" (expiry, path, domain, flags) is dropped.
    const Text cookie = Contains(line, ";") ? TextBetween(line, "Set-Cookie:", ";")
                                            : ReplaceAll(line, "Set-Cookie:", "", true);
    returnedCookies.append(Trim(cookie)).append(kItemSeparator);
}

Text MergeCookies(Text& sent, Text& received) {
    TidyCookieText(sent);
    TidyCookieText(received);
    TextList merged = Split(received, kItemSeparator);
    for (const auto& item : Split(sent, kItemSeparator)) {
        if (!HasCookieName(merged, CookieName(item))) merged.push_back(item);
    }
    Text result;
    for (const auto& item : merged) {
        if (Right(item, kDeletedSuffix.size()) == kDeletedSuffix) continue;
        result.append(item).append(kItemSeparator);
    }
    result = Left(result, static_cast<std::int64_t>(result.size()) - 2);
    sent = RemoveDuplicateItems(result, kItemSeparator, true);
    return sent;
}

Text CookieName(std::string_view item) {
    const std::size_t equals = Find(item, "=");
    return Trim(equals == kNotFound ? item : item.substr(0, equals));
}

bool HasCookieName(const TextList& list, std::string_view name) {
    for (const auto& item : list) {
        if (CookieName(item) == name) return true;
    }
    return false;
}

} // namespace iploc
