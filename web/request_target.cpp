// CrackUrl: the URL check and normalisation in front of the transport (declared in http_transfer.h).
#include "text/encoding.h"
#include "web/http_transfer.h"

#include <algorithm>
#include <curl/curl.h>
#include <memory>

namespace iploc {
namespace {

struct UrlFree {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlStringFree {
    void operator()(char* text) const { curl_free(text); }
};
using CurlString = std::unique_ptr<char, CurlStringFree>;

// Percent-encodes what may not appear raw in a request line: controls, space, DEL and every
// byte of a non-ASCII character. The scheme and authority are left to the URL parser.
std::string EscapeBehindAuthority(std::string_view url) {
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos) return std::string(url);
    const std::size_t authorityEnd = url.find_first_of("/?#", schemeEnd + 3);
    if (authorityEnd == std::string_view::npos) return std::string(url);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out(url.substr(0, authorityEnd));
    for (const char c : url.substr(authorityEnd)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F) {
            out.push_back(c);
        } else {
            out.append({'%', kHex[byte >> 4], kHex[byte & 0xF]});
        }
    }
    return out;
}

CurlString Part(CURLU* url, CURLUPart part) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, 0) != CURLUE_OK) return nullptr;
    return CurlString(text);
}

} // namespace

std::optional<RequestTarget> CrackUrl(std::string_view url) {
    // The text is read up to its first zero byte, as a C string would be.
    const std::string_view text = url.substr(0, url.find('\0'));
    if (text.empty()) return std::nullopt;
    std::unique_ptr<CURLU, UrlFree> parsed(curl_url());
    if (!parsed) return std::nullopt;
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::string escaped = EscapeBehindAuthority(ascii ? std::string(text) : TextToUtf8(text));
    if (curl_url_set(parsed.get(), CURLUPART_URL, escaped.c_str(), 0) != CURLUE_OK) return std::nullopt;
    const CurlString scheme = Part(parsed.get(), CURLUPART_SCHEME);
    const CurlString host = Part(parsed.get(), CURLUPART_HOST);
    if (!scheme || !host || host.get()[0] == '\0') return std::nullopt;
    const std::string_view schemeName = scheme.get();
    if (schemeName != "http" && schemeName != "https") return std::nullopt;
    // Credentials travel only as the caller's server credentials; fragments never travel.
    for (const CURLUPart part : {CURLUPART_USER, CURLUPART_PASSWORD, CURLUPART_OPTIONS, CURLUPART_FRAGMENT}) {
        if (curl_url_set(parsed.get(), part, nullptr, 0) != CURLUE_OK) return std::nullopt;
    }
    return RequestTarget{std::shared_ptr<void>(parsed.release(),
                                               [](void* url) { curl_url_cleanup(static_cast<CURLU*>(url)); }),
                         schemeName == "https"};
}

std::string RequestTarget::Url() const {
    const CurlString full = parsedUrl ? Part(static_cast<CURLU*>(parsedUrl.get()), CURLUPART_URL) : nullptr;
    return full ? std::string(full.get()) : std::string();
}

} // namespace iploc
