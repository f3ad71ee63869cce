// Internal pieces of TestServer: one connection's byte stream (plain or TLS), reading a
// request from it and writing a scripted answer to it.
#pragma once

#include "tests/support/test_server.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace iploc::test::detail {

// A flag that ends waits early once it is raised.
class StopSignal {
public:
    void Raise();
    bool Raised() const;
    // Waits `duration`; false when the signal was raised before it passed.
    bool Wait(std::chrono::milliseconds duration);

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};

// One accepted socket, with a TLS session on it when a context is given. Owns the socket.
class ServerStream {
public:
    ServerStream(int socket, SSL_CTX* tls);
    ~ServerStream();
    ServerStream(const ServerStream&) = delete;
    ServerStream& operator=(const ServerStream&) = delete;

    bool Handshake();                          // TLS accept; true at once for a plain stream
    long Read(char* buffer, std::size_t size); // bytes read; 0 or less at the end or on error
    bool WriteAll(std::string_view bytes);
    void CloseCleanly();  // TLS close_notify first, then the socket
    void CloseAbruptly(); // the socket only, so a TLS peer sees the stream end unannounced

private:
    int socket_;
    SSL* ssl_ = nullptr;
    bool closed_ = false;
};

// Reads requests one after another from a stream, keeping bytes that arrived early.
class RequestReader {
public:
    explicit RequestReader(ServerStream& stream) : stream_(stream) {}
    // The next request; nothing when the stream ends or the request is malformed.
    std::optional<ReceivedRequest> Next();

private:
    bool Fill();
    ServerStream& stream_;
    std::string pending_;
};

enum class AfterAnswer { KeepOpen, CloseCleanly, CloseAbruptly };

// Writes `answer` to `stream` with its scripted delays and says what becomes of the connection.
AfterAnswer WriteAnswer(ServerStream& stream, const ScriptedAnswer& answer, bool headRequest,
                        StopSignal& stop);

} // namespace iploc::test::detail
