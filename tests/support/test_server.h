// A scriptable HTTP/1.1 server on 127.0.0.1 for tests and benchmarks, plain or over TLS with a
// self-signed certificate made at start. A handler callback decides the answer to every request;
// the answer can also misbehave on purpose: stall, send its body slowly, cut it short, or drop
// the connection without answering. Connections are kept alive between requests (HTTP/1.1),
// every accepted socket has TCP_NODELAY set, and the server stops (closing every connection and
// interrupting every scripted delay) when Stop() is called or it is destroyed.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace iploc::test {

using HeaderFields = std::vector<std::pair<std::string, std::string>>;

// One request as the server read it.
struct ReceivedRequest {
    std::string head;     // the request line and header lines exactly as received, up to and including
                          // the blank line that ends them
    std::string method;   // "GET", "POST", ...
    std::string target;   // as written in the request line: "/path?query" or an absolute URL
    HeaderFields headers; // in the order received, values without surrounding blanks
    std::string body;     // Content-Length bytes (chunked bodies are not read)

    // The value of the first header of that name (case ignored); empty when there is none.
    std::string Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
};

// Long enough to stand for "never"; scripted delays end early when the server stops.
inline constexpr std::chrono::milliseconds kStallForever = std::chrono::hours(1);

// What the server does with one request. The defaults give a complete, prompt answer.
struct ScriptedAnswer {
    int status = 200;
    std::string reason = "OK";
    HeaderFields headers; // sent in order; Content-Length is added unless given here or
                          // Transfer-Encoding is given
    std::string body;     // not sent for a HEAD request
    std::string rawHead;  // when not empty, sent instead of the status line and headers;
                          // must end with the blank line

    std::chrono::milliseconds delayBeforeHead{0}; // a stall before anything is sent
    std::chrono::milliseconds delayBeforeBody{0}; // head sent, body held back
    std::size_t bodyPieceSize = 0;                // with the delay below: a slow body in pieces
    std::chrono::milliseconds delayBetweenPieces{0};
    std::optional<std::size_t> bodyBytesSent; // a truncated body: only that many bytes, then the
                                              // connection is closed (Content-Length stays full)
    bool dropConnection = false;              // close the connection without answering
    bool closeConnection = false;             // close the connection after this answer
};

using RequestHandler = std::function<ScriptedAnswer(const ReceivedRequest&)>;

// An answer whose body is the request exactly as received: head, then body.
ScriptedAnswer EchoRequest(const ReceivedRequest& request);

class TestServer {
public:
    enum class Transport { Plain, Tls };

    // Starts listening on a free port of 127.0.0.1 at once; throws std::runtime_error on failure.
    // The handler runs on the connection's thread; a handler that throws gets a 500 answer.
    TestServer(Transport transport, RequestHandler handler);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    std::uint16_t Port() const;
    std::string HostPort() const;                   // "127.0.0.1:PORT"
    std::string Origin() const;                     // "http://127.0.0.1:PORT" or "https://..."
    std::string Url(std::string_view target) const; // Origin() + target ("/path?query")
    int ConnectionsAccepted() const;
    int RequestsAnswered() const;

    // Stops accepting, closes every connection and joins every thread. Idempotent.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace iploc::test
