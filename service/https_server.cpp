#include "service/https_server.h"

#include "service/answer.h"

#include <charconv>
#include <filesystem>
#include <httplib.h>
#include <iostream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace iploc {

namespace {

constexpr const char* kJsonType = "application/json; charset=utf-8";
// The batch client sends thousands of requests over one connection; the library's
// default of 5 requests per connection would make it reconnect (and renegotiate TLS)
// all the time.
constexpr std::size_t kKeepAliveMaxCount = 100000;
// Requests are GETs without a body; anything larger is refused unread.
constexpr std::size_t kPayloadMaxLength = 64 * 1024;

const char* ErrorName(int status) {
    switch (status) {
    case 400:
        return "bad request";
    case 404:
        return "not found";
    case 405:
        return "method not allowed";
    case 413:
        return "request too large";
    case 414:
        return "request line too long";
    case 500:
        return "internal error";
    default:
        return "error";
    }
}

bool IsConnectedTcpSocket(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode)) return false;
    int protocol = 0;
    socklen_t size = sizeof protocol;
    if (::getsockopt(fd, SOL_SOCKET, SO_PROTOCOL, &protocol, &size) != 0 || protocol != IPPROTO_TCP)
        return false;
    sockaddr_storage peer{};
    socklen_t peerSize = sizeof peer;
    return ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0;
}

void SetJson(httplib::Response& res, int status, const std::string& body) {
    res.status = status;
    res.set_content(body, kJsonType);
}

// Faults the library finds itself (unknown path, unreadable request line, ...) get a
// JSON body too; answers that already have one are left alone. After an unreadable
// request line the library reads on from the middle of that request and answers each
// of its header lines with another 400, which a keep-alive client would take for the
// answers to its next requests. So such an answer carries "Connection: close": the
// client drops the connection, and whatever the library still answers goes nowhere.
void OnLibraryError(httplib::Response& res) {
    if (!res.body.empty()) return;
    SetJson(res, res.status, ErrorJson(ErrorName(res.status)));
    if (res.status != 404) res.set_header("Connection", "close");
}

} // namespace

struct HttpsServer::Impl {
    Impl(const Locator& locator, const CertificateFiles& certificate)
        : locator(locator), server(certificate.certificate.c_str(), certificate.key.c_str()) {}

    const Locator& locator;
    httplib::SSLServer server;
};

HttpsServer::HttpsServer(const Locator& locator, const CertificateFiles& certificate, bool verbose)
    : impl_(std::make_unique<Impl>(locator, certificate)) {
    httplib::SSLServer& server = impl_->server;
    server.set_tcp_nodelay(true);
    // The library's default also sets SO_REUSEPORT, with which a second service started
    // on the same port would silently share it and take some of the requests. Only
    // SO_REUSEADDR is kept, so a restart may reuse a port whose old connections linger.
    server.set_socket_options([](socket_t sock) {
        const int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_keep_alive_max_count(kKeepAliveMaxCount);
    server.set_payload_max_length(kPayloadMaxLength);
    server.Get("/json", [&locator = impl_->locator](const httplib::Request& req, httplib::Response& res) {
        const std::string ip = req.get_param_value("ip");
        const HttpAnswer answer = AnswerLookup(locator, req.has_param("ip") ? &ip : nullptr);
        SetJson(res, answer.status, answer.body);
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) { OnLibraryError(res); });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        SetJson(res, 500, ErrorJson(ErrorName(500)));
    });
    if (verbose) {
        server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
            std::cerr << "iploc-service: " << req.remote_addr << " " << req.method << " " << req.target << " "
                      << res.status << "\n";
        });
    }
}

HttpsServer::~HttpsServer() = default;

bool HttpsServer::IsValid() const {
    return impl_->server.is_valid();
}

int HttpsServer::Bind(const std::string& address, int port) {
    if (port == 0) return impl_->server.bind_to_any_port(address);
    return impl_->server.bind_to_port(address, port) ? port : -1;
}

bool HttpsServer::Run() {
    return impl_->server.listen_after_bind();
}

void HttpsServer::Stop() {
    impl_->server.stop();
}

// The service makes no connections of its own, so every connected TCP socket of the
// process is a client's.
void HttpsServer::DropConnections() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        int fd = -1;
        const std::string name = entry.path().filename().string();
        if (std::from_chars(name.data(), name.data() + name.size(), fd).ec != std::errc()) continue;
        if (IsConnectedTcpSocket(fd)) ::shutdown(fd, SHUT_RDWR);
    }
}

bool HttpsServer::IsRunning() const {
    return impl_->server.is_running();
}

} // namespace iploc
