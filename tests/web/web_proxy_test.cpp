#include "tests/support/test_server.h"
#include "tests/support/tiny_proxy.h"
#include "text/encoding.h"
#include "web/web_request.h"

#include <gtest/gtest.h>

namespace iploc {
namespace {

using test::TestServer;
using test::TinyProxy;

const TinyProxy::Credentials kProxyLogin{"proxyuser", "proxypass"};

// An open tinyproxy and one that demands Basic credentials, in front of an echoing http and
// https server.
class WebProxyTest : public ::testing::Test {
protected:
    TestServer https_{TestServer::Transport::Tls, test::EchoRequest};
    TestServer http_{TestServer::Transport::Plain, test::EchoRequest};
    TinyProxy open_;
    TinyProxy guarded_{kProxyLogin};
};

TEST_F(WebProxyTest, PlainRequestsAreForwardedAndSecureOnesTunnelled) {
    Text status;
    const Text plain =
        WebRequest({.url = http_.Url("/echo"), .proxy = open_.Address(), .statusText = &status});
    EXPECT_EQ(status, "200 OK");
    EXPECT_TRUE(StartsWith(plain, "GET /echo HTTP/1.1\r\n")) << plain;
    EXPECT_TRUE(Contains(plain, "(tinyproxy/")) << "forwarded by the proxy: " << plain;

    const Text secure =
        WebRequest({.url = https_.Url("/echo"), .proxy = open_.Address(), .statusText = &status});
    EXPECT_EQ(status, "200 OK");
    EXPECT_TRUE(StartsWith(secure, "GET /echo HTTP/1.1\r\n")) << secure;
    EXPECT_TRUE(Contains(open_.Log(), "): CONNECT " + https_.HostPort())) << open_.Log();
}

TEST_F(WebProxyTest, ProxyCredentialsOnlyWhenBothAreGiven) {
    struct Case {
        Text user, password, status;
    } cases[] = {
        {kProxyLogin.user, kProxyLogin.password, "200 OK"},
        {kProxyLogin.user, "", "407 Proxy Authentication Required"},
        {"", kProxyLogin.password, "407 Proxy Authentication Required"},
    };
    for (const auto& c : cases) {
        for (const TestServer* server : {&http_, &https_}) {
            Text status;
            const Text body = WebRequest({.url = server->Url("/echo"),
                                          .proxy = guarded_.Address(),
                                          .proxyUser = c.user,
                                          .proxyPassword = c.password,
                                          .statusText = &status});
            EXPECT_EQ(status, c.status) << server->Origin() << " " << c.user << ":" << c.password;
            // The proxy's refusal is an answer like any other; only a granted request is echoed.
            EXPECT_EQ(StartsWith(body, "GET /echo HTTP/1.1\r\n"), c.status == "200 OK") << body;
        }
    }
}

TEST_F(WebProxyTest, ProxyNamedForPlainHttpIsNotUsedForHttps) {
    Text status;
    // The guarded proxy would refuse this request without credentials; it is never asked.
    const Text body = WebRequest(
        {.url = https_.Url("/echo"), .proxy = "http=" + guarded_.Address(), .statusText = &status});
    EXPECT_EQ(status, "200 OK");
    EXPECT_TRUE(StartsWith(body, "GET /echo HTTP/1.1\r\n")) << body;
    EXPECT_FALSE(Contains(guarded_.Log(), "): CONNECT ")) << guarded_.Log();
}

TEST_F(WebProxyTest, UnreachableProxyIsASendFailure) {
    const std::uint16_t port = [] {
        TestServer closed(TestServer::Transport::Plain, test::EchoRequest);
        return closed.Port();
    }();
    for (const TestServer* server : {&http_, &https_}) {
        Text status;
        EXPECT_EQ(WebRequest({.url = server->Url("/echo"),
                              .proxy = "127.0.0.1:" + std::to_string(port),
                              .statusText = &status}),
                  "");
        EXPECT_EQ(status, Utf8ToText("711 发送请求失败!")) << server->Origin();
    }
}

} // namespace
} // namespace iploc
