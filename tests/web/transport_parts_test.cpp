#include "text/encoding.h"
#include "web/http_transfer.h"
#include "web/proxy_setting.h"

#include <gtest/gtest.h>

namespace iploc {
namespace {

TEST(ProxySetting, PlainUrlsGetTheHttpPrefix) {
    EXPECT_EQ(ProxySetting("", false), "");
    EXPECT_EQ(ProxySetting("", true), "");
    EXPECT_EQ(ProxySetting("10.0.0.1:3128", false), "http=10.0.0.1:3128");
    EXPECT_EQ(ProxySetting("10.0.0.1:3128", true), "10.0.0.1:3128");
}

TEST(ProxyServerFor, EntryForTheSchemeThenGenericEntry) {
    struct Case {
        Text setting, scheme, server;
    } cases[] = {
        {"", "http", ""},
        {"p:3128", "http", "p:3128"},
        {"p:3128", "https", "p:3128"},
        {"http=p:3128", "http", "p:3128"},
        {"http=p:3128", "https", ""}, // a proxy for plain http only
        {"HTTP=p:3128", "http", "p:3128"},
        {"g:1 https=s:2", "https", "s:2"},
        {"g:1; https=s:2", "http", "g:1"},
        {"https=s:2;http=h:3", "http", "h:3"},
        {"http=", "http", ""},
        {"p", "http", "p:80"},
        {"http://p", "http", "http://p:80"},
        {"[::1]", "http", "[::1]:80"},
        {"[::1]:8080", "http", "[::1]:8080"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProxyServerFor(c.setting, c.scheme), c.server) << c.setting << " for " << c.scheme;
    }
}

TEST(CrackUrl, AcceptsHttpAndHttpsWithAHost) {
    struct Case {
        Text url;
        std::optional<std::string> target;
        bool secure;
    } cases[] = {
        {"", std::nullopt, false},
        {"example.com/x", std::nullopt, false},
        {"ftp://example.com/x", std::nullopt, false},
        {"http://", std::nullopt, false},
        {std::string("http://h/\0x", 11), "http://h/", false}, // read up to the zero byte
        {"http://h", "http://h/", false},
        {"HTTPS://h:8443?q=1", "https://h:8443/?q=1", true},
        {"http://u:p@h/a#frag", "http://h/a", false},
        {"http://h/a b?c=d e\r\n", "http://h/a%20b?c=d%20e%0D%0A", false},
        {"http://h/?q=" + Utf8ToText("中"), "http://h/?q=%E4%B8%AD", false},
    };
    for (const auto& c : cases) {
        const auto target = CrackUrl(c.url);
        ASSERT_EQ(target.has_value(), c.target.has_value()) << c.url;
        if (!target) continue;
        EXPECT_EQ(target->Url(), *c.target) << c.url;
        EXPECT_EQ(target->secure, c.secure) << c.url;
    }
}

} // namespace
} // namespace iploc
