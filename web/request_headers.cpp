#include "web/request_headers.h"

#include "web/text_pieces.h"

#include <array>

namespace iploc {
namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr int kMethodPost = 1;

struct DefaultHeader {
    std::string_view searchKey;
    std::string_view line;
    bool postOnly;
};

// In the order they are appended. The form content type goes only with POST.
constexpr std::array<DefaultHeader, 6> kDefaultHeaders{{
    {"User-Agent: ", "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)",
     false},
    {"Accept: ", "Accept: text/html, application/xhtml+xml, */*", false},
    {"Accept-Encoding: ", "Accept-Encoding: identity", false},
    {"Accept-Language: ", "Accept-Language: zh-cn", false},
    {"Content-Type:", "Content-Type: application/x-www-form-urlencoded", true},
    {"Cache-Control: ", "Cache-Control: no-cache", false},
}};

void AppendMissingDefaults(Text& headers, int method) {
    for (const auto& header : kDefaultHeaders) {
        if (header.postOnly && method != kMethodPost) continue;
        if (Contains(headers, header.searchKey, true)) continue;
        headers.append(header.line).append(kLineBreak);
    }
}

void AppendCookieLine(Text& headers, std::string_view cookies) {
    if (cookies.empty() || Contains(headers, "Cookie:", true)) return;
    // A caller may hand over a complete cookie line instead of bare items.
    headers.append(kLineBreak);
    if (!Contains(cookies, "Cookie:", true)) headers.append("Cookie: ");
    headers.append(cookies).append(kLineBreak);
}

Text CapitalizeName(std::string_view name) {
    if (!Contains(name, "-")) return CapitalizeFirst(name);
    TextList pieces = Split(name, "-");
    for (auto& piece : pieces)
        piece = CapitalizeFirst(piece);
    return Join(pieces, "-");
}

} // namespace

Text BuildRequestHeaders(std::string_view extraHeaders, std::string_view cookies, int method,
                         bool completeHeaders, bool normalizeHeaderNames) {
    Text headers;
    if (!extraHeaders.empty()) headers.append(extraHeaders).append(kLineBreak);
    if (completeHeaders) AppendMissingDefaults(headers, method);
    if (normalizeHeaderNames) headers = NormalizeHeaderNames(headers);
    // A keep-alive line is dropped; a last line without CR LF behind it is not matched and stays.
    if (Contains(headers, "Connection") && HeaderValue(headers, "Connection") == "keep-alive") {
        headers = ReplaceAll(headers, "Connection: keep-alive\r\n", "");
    }
    AppendCookieLine(headers, cookies);
    return headers;
}

Text NormalizeHeaderNames(std::string_view headers) {
    TextList lines;
    for (const auto& piece : Split(headers, kLineBreak)) {
        const std::size_t colon = Find(piece, ":");
        if (colon == kNotFound) continue;
        const Text name = CapitalizeName(std::string_view(piece).substr(0, colon));
        lines.push_back(name + piece.substr(std::min(name.size(), piece.size())));
    }
    return Join(lines, kLineBreak);
}

Text CapitalizeFirst(std::string_view text) {
    Text out(text);
    if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - ('a' - 'A'));
    return out;
}

Text HeaderValue(std::string_view headers, std::string_view name) {
    for (const auto& line : Split(headers, kLineBreak)) {
        if (StartsWith(line, name)) return TextAfter(line, Text(name) + ": ");
    }
    return {};
}

} // namespace iploc
