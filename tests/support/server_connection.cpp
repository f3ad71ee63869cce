#include "tests/support/server_connection.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace iploc::test::detail {
namespace {

constexpr std::size_t kMaxHeadBytes = 256 * 1024;
constexpr std::string_view kHeadEnd = "\r\n\r\n";

std::string TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

bool ParseHead(std::string_view head, ReceivedRequest& request) {
    request.head = std::string(head);
    std::size_t lineEnd = head.find("\r\n");
    const std::string_view requestLine = head.substr(0, lineEnd);
    const std::size_t firstBlank = requestLine.find(' ');
    const std::size_t lastBlank = requestLine.rfind(' ');
    if (firstBlank == std::string_view::npos || lastBlank == firstBlank) return false;
    request.method = std::string(requestLine.substr(0, firstBlank));
    request.target = std::string(requestLine.substr(firstBlank + 1, lastBlank - firstBlank - 1));
    for (std::size_t pos = lineEnd + 2; pos < head.size(); pos = lineEnd + 2) {
        lineEnd = head.find("\r\n", pos);
        const std::string_view line = head.substr(pos, lineEnd - pos);
        if (line.empty()) break;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) return false;
        request.headers.emplace_back(std::string(line.substr(0, colon)), TrimBlanks(line.substr(colon + 1)));
    }
    return true;
}

std::optional<std::size_t> ContentLength(const ReceivedRequest& request) {
    const std::string value = request.Header("Content-Length");
    if (value.empty()) return 0;
    std::size_t length = 0;
    const auto result = std::from_chars(value.data(), value.data() + value.size(), length);
    if (result.ec != std::errc() || result.ptr != value.data() + value.size()) return std::nullopt;
    return length;
}

bool HasField(const HeaderFields& fields, std::string_view name) {
    return std::any_of(fields.begin(), fields.end(), [&](const auto& field) {
        return std::equal(field.first.begin(), field.first.end(), name.begin(), name.end(),
                          [](char a, char b) { return std::tolower(a) == std::tolower(b); });
    });
}

std::string AnswerHead(const ScriptedAnswer& answer) {
    if (!answer.rawHead.empty()) return answer.rawHead;
    std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + answer.reason + "\r\n";
    for (const auto& [name, value] : answer.headers)
        head += name + ": " + value + "\r\n";
    if (!HasField(answer.headers, "Content-Length") && !HasField(answer.headers, "Transfer-Encoding")) {
        head += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
    }
    if (answer.closeConnection) head += "Connection: close\r\n";
    return head + "\r\n";
}

bool WriteBody(ServerStream& stream, std::string_view body, const ScriptedAnswer& answer, StopSignal& stop) {
    const std::size_t piece = answer.bodyPieceSize > 0 ? answer.bodyPieceSize : body.size();
    for (std::size_t pos = 0; pos < body.size(); pos += piece) {
        if (pos > 0 && !stop.Wait(answer.delayBetweenPieces)) return false;
        if (!stream.WriteAll(body.substr(pos, piece))) return false;
    }
    return true;
}

} // namespace

void StopSignal::Raise() {
    {
        std::lock_guard lock(mutex_);
        raised_ = true;
    }
    changed_.notify_all();
}

bool StopSignal::Raised() const {
    std::lock_guard lock(mutex_);
    return raised_;
}

bool StopSignal::Wait(std::chrono::milliseconds duration) {
    if (duration.count() <= 0) return !Raised(); // no timed wait (and no futex call) for nothing
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, duration, [this] { return raised_; });
}

ServerStream::ServerStream(int socket, SSL_CTX* tls) : socket_(socket) {
    if (tls == nullptr) return;
    ssl_ = SSL_new(tls);
    if (ssl_ != nullptr && SSL_set_fd(ssl_, socket_) != 1) {
        SSL_free(ssl_);
        ssl_ = nullptr;
    }
}

ServerStream::~ServerStream() {
    CloseAbruptly();
}

bool ServerStream::Handshake() {
    if (ssl_ == nullptr) return true;
    return SSL_accept(ssl_) == 1;
}

long ServerStream::Read(char* buffer, std::size_t size) {
    if (closed_) return -1;
    if (ssl_ != nullptr) return SSL_read(ssl_, buffer, static_cast<int>(size));
    return ::recv(socket_, buffer, size, 0);
}

bool ServerStream::WriteAll(std::string_view bytes) {
    while (!bytes.empty() && !closed_) {
        const long sent = ssl_ != nullptr ? SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size()))
                                          : ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return bytes.empty();
}

void ServerStream::CloseCleanly() {
    if (ssl_ != nullptr && !closed_) SSL_shutdown(ssl_);
    CloseAbruptly();
}

void ServerStream::CloseAbruptly() {
    if (!closed_) {
        ::close(socket_);
        closed_ = true;
    }
    if (ssl_ != nullptr) {
        SSL_free(ssl_);
        ssl_ = nullptr;
    }
}

bool RequestReader::Fill() {
    char buffer[16 * 1024];
    const long got = stream_.Read(buffer, sizeof buffer);
    if (got <= 0) return false;
    pending_.append(buffer, static_cast<std::size_t>(got));
    return true;
}

std::optional<ReceivedRequest> RequestReader::Next() {
    std::size_t headEnd;
    while ((headEnd = pending_.find(kHeadEnd)) == std::string::npos) {
        if (pending_.size() > kMaxHeadBytes || !Fill()) return std::nullopt;
    }
    ReceivedRequest request;
    const std::size_t headSize = headEnd + kHeadEnd.size();
    if (!ParseHead(std::string_view(pending_).substr(0, headSize), request)) return std::nullopt;
    const auto bodySize = ContentLength(request);
    if (!bodySize) return std::nullopt;
    while (pending_.size() < headSize + *bodySize) {
        if (!Fill()) return std::nullopt;
    }
    request.body = pending_.substr(headSize, *bodySize);
    pending_.erase(0, headSize + *bodySize);
    return request;
}

AfterAnswer WriteAnswer(ServerStream& stream, const ScriptedAnswer& answer, bool headRequest,
                        StopSignal& stop) {
    if (!stop.Wait(answer.delayBeforeHead) || answer.dropConnection) return AfterAnswer::CloseAbruptly;
    std::string_view body = headRequest ? std::string_view() : std::string_view(answer.body);
    const bool truncated = answer.bodyBytesSent && *answer.bodyBytesSent < body.size();
    if (truncated) body = body.substr(0, *answer.bodyBytesSent);
    const bool simple = answer.delayBeforeBody.count() == 0 && answer.bodyPieceSize == 0;
    if (simple) {
        // One write for head and body, so a small answer travels in one segment (one TLS record).
        if (!stream.WriteAll(AnswerHead(answer) + std::string(body))) return AfterAnswer::CloseAbruptly;
    } else {
        if (!stream.WriteAll(AnswerHead(answer)) || !stop.Wait(answer.delayBeforeBody) ||
            !WriteBody(stream, body, answer, stop)) {
            return AfterAnswer::CloseAbruptly;
        }
    }
    if (truncated) return AfterAnswer::CloseAbruptly;
    return answer.closeConnection ? AfterAnswer::CloseCleanly : AfterAnswer::KeepOpen;
}

} // namespace iploc::test::detail
