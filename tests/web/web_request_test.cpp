#include "tests/support/test_server.h"
#include "tests/support/tiny_proxy.h"
#include "text/encoding.h"
#include "web/web_request.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <thread>

namespace iploc {
namespace {

using namespace std::chrono_literals;
using test::ReceivedRequest;
using test::ScriptedAnswer;
using test::TestServer;

const Text kDefaultLines =
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"
    "Accept: text/html, application/xhtml+xml, */*\r\n"
    "Accept-Encoding: identity\r\n"
    "Accept-Language: zh-cn\r\n";
const Text kUntouched = "untouched";

Text Cn(const char* utf8) {
    return Utf8ToText(utf8);
}

std::string PathOf(const std::string& target) {
    return target.substr(0, target.find('?'));
}

// Serves the same routes over https and plain http and keeps every request it was sent.
class WebRequestTest : public ::testing::Test {
protected:
    ScriptedAnswer Route(const ReceivedRequest& request) {
        {
            std::lock_guard lock(mutex_);
            received_.push_back(request);
        }
        const std::string path = PathOf(request.target);
        if (path == "/echo") return test::EchoRequest(request);
        ScriptedAnswer answer;
        if (path == "/missing") {
            answer.status = 404;
            answer.reason = "Not Found";
            answer.body = "missing page";
        } else if (path == "/moved") {
            answer.status = 302;
            answer.reason = "Found";
            answer.headers = {{"Location", "/echo?from=moved"}};
            answer.body = "moved";
        } else if (path == "/cookies") {
            answer.headers = {{"Set-Cookie", "sid=abc; path=/; HttpOnly"},
                              {"Set-Cookie", "theme=dark"},
                              {"set-cookie", "lower=1"},
                              {"Set-Cookie", "gone=deleted; expires=Thu, 01 Jan 1970 00:00:00 GMT"}};
            answer.body = "ok";
        } else if (path == "/utf8-cookies") {
            // 中 in UTF-8 ends in AD, which code page 936 reads as a lead byte.
            answer.headers = {{"Set-Cookie", "n=\xE4\xB8\xAD"}, {"Set-Cookie", "m=2"}};
        } else if (path == "/truncated") {
            answer.body = std::string(1000, 'x');
            answer.bodyBytesSent = 300;
        } else if (path == "/stall") {
            answer.delayBeforeHead = test::kStallForever;
        } else if (path == "/late") {
            answer.delayBeforeHead = 1200ms;
            answer.body = "late";
        } else if (path == "/stall-body") {
            answer.body = "abcdefgh";
            answer.bodyPieceSize = 4;
            answer.delayBetweenPieces = test::kStallForever;
        } else if (path == "/slow") {
            answer.body = "0123456789";
            answer.bodyPieceSize = 2;
            answer.delayBetweenPieces = 400ms;
        } else if (path == "/drop") {
            answer.dropConnection = true;
        } else if (path == "/auth") {
            answer.body = request.HasHeader("Authorization") ? request.Header("Authorization") : "none";
        } else if (path == "/page") {
            answer.body = "<html><head><meta charset=\"utf-8\"></head><body>\xE4\xB8\xAD</body></html>";
        } else if (path == "/PAGE") {
            answer.body = "<HTML><META CHARSET=UTF-8>\xE4\xB8\xAD";
        } else if (path == "/zero") {
            answer.body = std::string("ab\0cd", 5);
        } else {
            answer.status = 500;
            answer.reason = "No Route";
        }
        return answer;
    }

    ReceivedRequest LastRequest() {
        std::lock_guard lock(mutex_);
        return received_.empty() ? ReceivedRequest{} : received_.back();
    }

    std::mutex mutex_;
    std::vector<ReceivedRequest> received_;
    TestServer https_{TestServer::Transport::Tls, [this](const ReceivedRequest& r) { return Route(r); }};
    TestServer http_{TestServer::Transport::Plain, [this](const ReceivedRequest& r) { return Route(r); }};
};

TEST_F(WebRequestTest, DefaultGetSendsExactlyTheDefaultHeaderBlock) {
    Text status, headers;
    const Text body = WebRequest(
        {.url = https_.Url("/echo?ip=1.2.3.4"), .returnedHeaders = &headers, .statusText = &status});
    EXPECT_EQ(body, "GET /echo?ip=1.2.3.4 HTTP/1.1\r\nHost: " + https_.HostPort() + "\r\n" + kDefaultLines +
                        "Cache-Control: no-cache\r\n\r\n");
    EXPECT_EQ(status, "200 OK");
    EXPECT_TRUE(StartsWith(headers, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n")) << headers;
    EXPECT_TRUE(EndsWith(headers, "\r\n\r\n")) << headers;
}

TEST_F(WebRequestTest, PostSendsTheFormTypeAndTheBody) {
    const Text body = WebRequest({.url = http_.Url("/echo"), .method = 1, .postText = "a=1&b=2"});
    EXPECT_EQ(body, "POST /echo HTTP/1.1\r\nHost: " + http_.HostPort() + "\r\n" + kDefaultLines +
                        "Content-Type: application/x-www-form-urlencoded\r\nCache-Control: no-cache\r\n"
                        "Content-Length: 7\r\n\r\na=1&b=2");
}

TEST_F(WebRequestTest, MethodTableAndBodies) {
    struct Case {
        int method;
        Text postText;
        Bytes postBytes;
        std::string verb, body, contentLength;
    } cases[] = {
        {8, "", "", "GET", "", ""},
        {-1, "", "", "GET", "", ""},
        {2, "", "", "HEAD", "", ""},
        {3, "", "", "PUT", "", "0"},
        {4, "", "", "OPTIONS", "", ""},
        {5, "", "", "DELETE", "", ""},
        {6, "", "", "TRACE", "", ""},
        {1, "", "", "POST", "", "0"},
        {1, "text", std::string("b\0y", 3), "POST", std::string("b\0y", 3), "3"}, // bytes win
        {0, "q", "", "GET", "q", "1"},
    };
    for (const auto& c : cases) {
        Text status;
        WebRequest({.url = http_.Url("/echo"),
                    .method = c.method,
                    .postText = c.postText,
                    .statusText = &status,
                    .postBytes = c.postBytes});
        const ReceivedRequest request = LastRequest();
        EXPECT_EQ(status, "200 OK") << c.method;
        EXPECT_EQ(request.method, c.verb) << c.method;
        EXPECT_EQ(request.body, c.body) << c.method;
        EXPECT_EQ(request.Header("Content-Length"), c.contentLength) << c.method;
        EXPECT_FALSE(request.HasHeader("Expect")) << c.method;
    }
}

TEST_F(WebRequestTest, UnusableUrlWritesOnlyTheStatusText) {
    for (const Text url : {"", "127.0.0.1/echo", "ftp://127.0.0.1/echo", "http://", "http://:80/"}) {
        Text cookies = "a=1", returnedCookies = kUntouched, headers = kUntouched, location = kUntouched,
             status = kUntouched;
        Bytes bytes = kUntouched;
        const Text body = WebRequest({.url = url,
                                      .cookies = &cookies,
                                      .returnedCookies = &returnedCookies,
                                      .returnedHeaders = &headers,
                                      .location = &location,
                                      .statusText = &status,
                                      .responseBytes = &bytes});
        EXPECT_EQ(body, "") << url;
        EXPECT_EQ(status, Cn("701 解析URL地址失败!")) << url;
        for (const Text* untouched : {&returnedCookies, &headers, &location, &bytes}) {
            EXPECT_EQ(*untouched, kUntouched) << url;
        }
        EXPECT_EQ(cookies, "a=1") << url;
    }
}

TEST_F(WebRequestTest, RequestTargetIsWrittenOutFromTheUrl) {
    struct Case {
        Text url;
        std::string target;
    } cases[] = {
        {http_.Origin(), "/"},
        {http_.Origin() + "?q=1", "/?q=1"}, // the query behind a bare host is kept
        {http_.Url("/echo?q=") + Cn("中 文"), "/echo?q=%E4%B8%AD%20%E6%96%87"},
        {http_.Url("/a/../echo#part"), "/echo"},
        {"HTTP://user:secret@" + http_.HostPort() + "/echo", "/echo"},
    };
    for (const auto& c : cases) {
        Text status;
        WebRequest({.url = c.url, .statusText = &status});
        EXPECT_EQ(LastRequest().target, c.target) << c.url;
        EXPECT_FALSE(LastRequest().HasHeader("Authorization")) << "credentials in the URL are not used";
    }
}

TEST_F(WebRequestTest, RefusedConnectionIsASendFailure) {
    const std::uint16_t port = [] {
        TestServer closed(TestServer::Transport::Plain, test::EchoRequest);
        return closed.Port();
    }();
    Text status;
    EXPECT_EQ(WebRequest({.url = "http://127.0.0.1:" + std::to_string(port) + "/", .statusText = &status}),
              "");
    EXPECT_EQ(status, Cn("711 发送请求失败!"));
}

TEST_F(WebRequestTest, AnswerlessServersAreReportedAsNotResponding) {
    Text status;
    EXPECT_EQ(WebRequest({.url = https_.Url("/drop"), .statusText = &status}), "");
    EXPECT_EQ(status, Cn("712 服务器未响应!"));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WebRequest({.url = https_.Url("/stall"), .timeoutSeconds = 1, .statusText = &status}), "");
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(status, Cn("712 服务器未响应!"));
    EXPECT_GE(elapsed, 900ms) << "the time-out is waited for";
    EXPECT_LT(elapsed, 10s);
}

TEST_F(WebRequestTest, TimeoutIsAStallNotACapOnTheTransfer) {
    Text status;
    // Five pieces 400 ms apart take longer than the one-second time-out, but never stall that long.
    EXPECT_EQ(WebRequest({.url = http_.Url("/slow"), .timeoutSeconds = 1, .statusText = &status}),
              "0123456789");
    EXPECT_EQ(status, "200 OK");
    // No time-out given, or none above zero: 30 seconds, so an answer after 1.2 s still counts.
    for (const int seconds : {0, -1}) {
        EXPECT_EQ(WebRequest({.url = http_.Url("/late"), .timeoutSeconds = seconds, .statusText = &status}),
                  "late");
        EXPECT_EQ(status, "200 OK") << seconds;
    }
}

TEST_F(WebRequestTest, ErrorStatusIsAnAnswer) {
    Text status;
    Bytes bytes;
    EXPECT_EQ(WebRequest({.url = https_.Url("/missing"), .statusText = &status, .responseBytes = &bytes}),
              "missing page");
    EXPECT_EQ(status, "404 Not Found");
    EXPECT_EQ(bytes, "missing page");
}

TEST_F(WebRequestTest, BrokenOffBodyKeepsWhatWasReadAndTheStatus) {
    struct Case {
        std::string path;
        int timeoutSeconds;
        Text body;
    } cases[] = {
        {"/truncated", 0, std::string(300, 'x')},
        {"/stall-body", 1, "abcd"},
    };
    for (const auto& c : cases) {
        for (const TestServer* server : {&https_, &http_}) {
            Text status, headers;
            Bytes bytes;
            const Text body = WebRequest({.url = server->Url(c.path),
                                          .returnedHeaders = &headers,
                                          .timeoutSeconds = c.timeoutSeconds,
                                          .statusText = &status,
                                          .responseBytes = &bytes});
            EXPECT_EQ(body, c.body) << server->Url(c.path);
            EXPECT_EQ(bytes, c.body) << server->Url(c.path);
            EXPECT_EQ(status, "200 OK") << server->Url(c.path);
            EXPECT_TRUE(StartsWith(headers, "HTTP/1.1 200 OK\r\n")) << headers;
        }
    }
}

TEST_F(WebRequestTest, RedirectsFollowedOrHandedBack) {
    Text status, headers, location = kUntouched;
    const Text followed = WebRequest({.url = https_.Url("/moved"),
                                      .returnedHeaders = &headers,
                                      .location = &location,
                                      .statusText = &status});
    EXPECT_TRUE(StartsWith(followed, "GET /echo?from=moved HTTP/1.1\r\n")) << followed;
    EXPECT_EQ(status, "200 OK");
    EXPECT_EQ(location, kUntouched) << "the final answer carries no Location";
    EXPECT_FALSE(Contains(headers, "302")) << "only the final answer's headers: " << headers;
    const Text posted = WebRequest({.url = http_.Url("/moved"), .method = 1, .postText = "a=1"});
    EXPECT_TRUE(StartsWith(posted, "GET /echo?from=moved HTTP/1.1\r\n"))
        << "a POST answered by 302 goes on as GET";

    const Text handedBack = WebRequest({.url = https_.Url("/moved"),
                                        .returnedHeaders = &headers,
                                        .noRedirect = true,
                                        .location = &location,
                                        .statusText = &status});
    EXPECT_EQ(handedBack, "moved");
    EXPECT_EQ(status, "302 Found");
    EXPECT_EQ(location, "/echo?from=moved");
    EXPECT_TRUE(StartsWith(headers, "HTTP/1.1 302 Found\r\nLocation: /echo?from=moved\r\n")) << headers;
}

TEST_F(WebRequestTest, CookiesAreSentCollectedAndMerged) {
    Text cookies = "a=1; sid=old; gone=1";
    Text returned = "earlier=0";
    WebRequest({.url = http_.Url("/cookies"), .cookies = &cookies, .returnedCookies = &returned});
    EXPECT_EQ(LastRequest().Header("Cookie"), "a=1; sid=old; gone=1");
    EXPECT_EQ(cookies, "earlier=0; sid=abc; theme=dark; a=1");
    EXPECT_EQ(returned, cookies);

    // Without merging, the answer's cookies are appended behind what the variable held, as
    // separate items also when it does not end in a separator.
    Text kept = "a=1";
    returned = "earlier=0";
    WebRequest({.url = http_.Url("/cookies"),
                .cookies = &kept,
                .returnedCookies = &returned,
                .mergeCookies = false});
    EXPECT_EQ(kept, "a=1");
    EXPECT_EQ(returned, "earlier=0; sid=abc; theme=dark; gone=deleted");

    // No cookies to send: no Cookie line, and nothing to merge into.
    Text none;
    returned.clear();
    WebRequest({.url = http_.Url("/cookies"), .cookies = &none, .returnedCookies = &returned});
    EXPECT_FALSE(LastRequest().HasHeader("Cookie"));
    EXPECT_EQ(none, "");
    EXPECT_EQ(returned, "sid=abc; theme=dark; gone=deleted");
}

TEST_F(WebRequestTest, HeaderLinesStaySeparateWhateverTheirBytes) {
    Text returned, headers;
    WebRequest(
        {.url = http_.Url("/utf8-cookies"), .returnedCookies = &returned, .returnedHeaders = &headers});
    EXPECT_EQ(returned, "n=\xE4\xB8\xAD; m=2");
    EXPECT_TRUE(Contains(headers, "\r\nSet-Cookie: n=\xE4\xB8\xAD\r\nSet-Cookie: m=2\r\n"))
        << "bytes kept as sent";
}

TEST_F(WebRequestTest, CallerHeaderLines) {
    WebRequest({.url = http_.Url("/echo"), .extraHeaders = "x-token: 1\r\nAccept: text/plain\r\nX-Empty:"});
    ReceivedRequest request = LastRequest();
    EXPECT_TRUE(Contains(request.head, "\r\nX-Token: 1\r\nAccept: text/plain\r\nX-Empty:\r\nUser-Agent: "))
        << request.head;

    WebRequest({.url = http_.Url("/echo"),
                .extraHeaders = "x-token: 1\r\n\r\nConnection: close",
                .completeHeaders = false,
                .normalizeHeaderNames = false});
    request = LastRequest();
    EXPECT_EQ(request.head, "GET /echo HTTP/1.1\r\nHost: " + http_.HostPort() +
                                "\r\nx-token: 1\r\nConnection: close\r\n\r\n");

    Text status;
    const auto before = received_.size();
    EXPECT_EQ(WebRequest({.url = http_.Url("/echo"),
                          .extraHeaders = "X-Token",
                          .statusText = &status,
                          .normalizeHeaderNames = false}),
              "");
    EXPECT_EQ(status, Cn("710 设置协议头失败!"));
    EXPECT_EQ(
        WebRequest({.url = http_.Url("/echo"), .extraHeaders = "X-A: 1\nX-B: 2", .statusText = &status}), "");
    EXPECT_EQ(status, Cn("710 设置协议头失败!"));
    EXPECT_EQ(received_.size(), before) << "nothing was sent";
}

TEST_F(WebRequestTest, ServerCredentialsOnlyWhenBothAreGiven) {
    struct Case {
        Text user, password, expected;
    } cases[] = {
        {"user", "pass", "Basic dXNlcjpwYXNz"},
        {"user", "", "none"},
        {"", "pass", "none"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            WebRequest({.url = https_.Url("/auth"), .serverUser = c.user, .serverPassword = c.password}),
            c.expected)
            << c.user << ":" << c.password;
    }
}

TEST_F(WebRequestTest, BodyBecomesTextThroughItsDeclaredCharset) {
    struct Case {
        std::string path;
        Text text;
        Bytes bytes;
    } cases[] = {
        {"/page", "<html><head><meta charset=\"utf-8\"></head><body>" + Cn("中") + "</body></html>",
         "<html><head><meta charset=\"utf-8\"></head><body>\xE4\xB8\xAD</body></html>"},
        {"/PAGE", "<HTML><META CHARSET=UTF-8>" + Cn("中"), "<HTML><META CHARSET=UTF-8>\xE4\xB8\xAD"},
        {"/zero", "ab", std::string("ab\0cd", 5)}, // text ends at the first zero byte, bytes do not
    };
    for (const auto& c : cases) {
        Bytes bytes;
        EXPECT_EQ(WebRequest({.url = https_.Url(c.path), .responseBytes = &bytes}), c.text) << c.path;
        EXPECT_EQ(bytes, c.bytes) << c.path;
    }
}

TEST_F(WebRequestTest, ConsecutiveCallsOnAThreadReuseTheirConnection) {
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(WebRequest({.url = https_.Url("/echo")}).empty());
    EXPECT_EQ(https_.ConnectionsAccepted(), 1);
    std::thread([&] { EXPECT_FALSE(WebRequest({.url = https_.Url("/echo")}).empty()); }).join();
    EXPECT_EQ(https_.ConnectionsAccepted(), 2) << "threads do not share connections";
}

TEST_F(WebRequestTest, CallsOnSeveralThreadsAtOnce) {
    constexpr int kThreads = 4, kCalls = 20;
    std::vector<std::future<int>> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.push_back(std::async(std::launch::async, [this, t] {
            int answered = 0;
            for (int i = 0; i < kCalls; ++i) {
                const std::string target = "/echo?thread=" + std::to_string(t) + "&call=" + std::to_string(i);
                answered +=
                    StartsWith(WebRequest({.url = https_.Url(target)}), "GET " + target + " HTTP/1.1\r\n");
            }
            return answered;
        }));
    }
    for (auto& worker : workers)
        EXPECT_EQ(worker.get(), kCalls);
    EXPECT_EQ(https_.ConnectionsAccepted(), kThreads) << "one connection per thread, reused";
}

TEST_F(WebRequestTest, AbortEndsACallInFlight) {
    struct Case {
        std::string path;
        Text status;
    } cases[] = {
        {"/stall", Cn("712 服务器未响应!")},
        {"/stall-body", Cn("713 读取数据失败!")},
    };
    for (const auto& c : cases) {
        std::atomic<bool> abort{false};
        Text status;
        Bytes bytes = kUntouched;
        auto call = std::async(std::launch::async, [&] {
            return WebRequest({.url = https_.Url(c.path),
                               .statusText = &status,
                               .responseBytes = &bytes,
                               .abortFlag = &abort});
        });
        EXPECT_EQ(call.wait_for(300ms), std::future_status::timeout) << "the call waits for the server";
        abort = true;
        ASSERT_EQ(call.wait_for(10s), std::future_status::ready) << c.path;
        EXPECT_EQ(call.get(), "") << c.path;
        EXPECT_EQ(status, c.status) << c.path;
        EXPECT_EQ(bytes, kUntouched) << c.path;
    }
    std::atomic<bool> raised{true};
    Text status;
    EXPECT_EQ(WebRequest({.url = https_.Url("/echo"), .statusText = &status, .abortFlag = &raised}), "");
    EXPECT_EQ(status, Cn("711 发送请求失败!"));
}

} // namespace
} // namespace iploc
