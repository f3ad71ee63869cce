#include "web/request_headers.h"

#include <gtest/gtest.h>

namespace iploc {
namespace {

const Text kUserAgent = "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)";
const Text kAccept = "Accept: text/html, application/xhtml+xml, */*";
const Text kTail = "Accept-Encoding: identity\r\nAccept-Language: zh-cn";
const Text kCacheControl = "Cache-Control: no-cache";
const Text kGetBlock = kUserAgent + "\r\n" + kAccept + "\r\n" + kTail + "\r\n" + kCacheControl;
const Text kPostBlock = kUserAgent + "\r\n" + kAccept + "\r\n" + kTail +
                        "\r\nContent-Type: application/x-www-form-urlencoded\r\n" + kCacheControl;

struct BuildCase {
    const char* what;
    Text extra, cookies;
    int method;
    bool complete, normalize;
    Text expected;
};

TEST(BuildRequestHeaders, DefaultsNormalisationKeepAliveAndCookies) {
    const BuildCase cases[] = {
        {"GET defaults", "", "", 0, true, true, kGetBlock},
        {"POST adds the form type before Cache-Control", "", "", 1, true, true, kPostBlock},
        {"other methods get no form type", "", "", 3, true, true, kGetBlock},
        {"defaults off, nothing given", "", "", 0, false, true, ""},
        {"lower-case accept suppresses the default and is capitalised", "accept: text/plain", "", 0, true,
         true, "Accept: text/plain\r\n" + kUserAgent + "\r\n" + kTail + "\r\n" + kCacheControl},
        {"a key without its blank does not suppress", "User-Agent:x", "", 0, false, true, "User-Agent:x"},
        {"User-Agent:x keeps the default agent", "User-Agent:x", "", 0, true, true,
         "User-Agent:x\r\n" + kGetBlock},
        {"the caller's content type wins for POST", "content-type: text/xml", "", 1, true, true,
         "Content-Type: text/xml\r\n" + kGetBlock},
        {"line without a colon dropped when normalising", "X-Token", "", 0, false, true, ""},
        {"line without a colon kept otherwise", "X-Token", "", 0, false, false, "X-Token\r\n"},
        {"names not rewritten when not normalising", "x-a: 1", "", 0, false, false, "x-a: 1\r\n"},
        {"keep-alive in the middle is removed", "Connection: keep-alive", "", 0, true, true, kGetBlock},
        {"Keep-Alive in capitals stays", "Connection: Keep-Alive", "", 0, true, true,
         "Connection: Keep-Alive\r\n" + kGetBlock},
        {"keep-alive as the last line stays", "Connection: keep-alive", "", 0, false, true,
         "Connection: keep-alive"},
        {"keep-alive with its line break is removed", "Connection: keep-alive", "", 0, false, false, ""},
        {"cookies become the last line", "", "a=1", 0, true, true, kGetBlock + "\r\nCookie: a=1\r\n"},
        {"a cookie line is appended as it is", "", "cookie: a=1", 0, true, true,
         kGetBlock + "\r\ncookie: a=1\r\n"},
        {"the caller's cookie line wins", "Cookie: z=9", "a=1", 0, false, true, "Cookie: z=9"},
        {"cookie line follows an empty line without normalising", "X: 1", "a=1", 0, false, false,
         "X: 1\r\n\r\nCookie: a=1\r\n"},
        {"cookies alone", "", "a=1; b=2", 0, false, true, "\r\nCookie: a=1; b=2\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildRequestHeaders(c.extra, c.cookies, c.method, c.complete, c.normalize), c.expected)
            << c.what;
    }
}

TEST(NormalizeHeaderNames, CapitalisesEachPieceDropsLinesWithoutColon) {
    struct Case {
        Text in, expected;
    } cases[] = {
        {"content-type: a\r\n\r\nfoo\r\nx-a-b:c", "Content-Type: a\r\nX-A-B:c"},
        {"accept-lANGUAGE: zh\r\n", "Accept-LANGUAGE: zh"},
        {"x-: 1", "X-: 1"},
        {"1-a: b", "1-A: b"},
        {"host: a-b:c", "Host: a-b:c"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NormalizeHeaderNames(c.in), c.expected) << c.in;
    EXPECT_EQ(CapitalizeFirst("abc"), "Abc");
    EXPECT_EQ(CapitalizeFirst("\xD6\xD0"), "\xD6\xD0");
    EXPECT_EQ(CapitalizeFirst(""), "");
}

TEST(HeaderValue, FirstLineOfTheNameOnly) {
    struct Case {
        Text headers, name, expected;
    } cases[] = {
        {"A: b\r\nConnection: keep-alive", "Connection", "keep-alive"},
        {"Connection:close\r\nConnection: keep-alive", "Connection", ""}, // first line has no ": "
        {"Connection-Extra: 1\r\nConnection: 2", "Connection", ""},
        {"X: a: X: b", "X", "b"},
        {"x: a", "X", ""},
        {"", "X", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HeaderValue(c.headers, c.name), c.expected) << c.headers;
}

} // namespace
} // namespace iploc
