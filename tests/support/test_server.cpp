#include "tests/support/test_server.h"

#include "tests/support/server_connection.h"
#include "tests/support/tls_certificate.h"

#include <arpa/inet.h>
#include <atomic>
#include <list>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <set>
#include <signal.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace iploc::test {
namespace {

using detail::AfterAnswer;
using detail::RequestReader;
using detail::ServerStream;
using detail::StopSignal;

struct SslContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
using SslContext = std::unique_ptr<SSL_CTX, SslContextFree>;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

void Require(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error("test server: " + what);
}

SslContext MakeTlsContext() {
    SslContext context(SSL_CTX_new(TLS_server_method()));
    Require(context != nullptr, "SSL_CTX_new failed");
    const PemCertificate& pem = LocalTestCertificate();
    BIO* certBio = BIO_new_mem_buf(pem.certificatePem.data(), static_cast<int>(pem.certificatePem.size()));
    X509* cert = PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr);
    BIO_free(certBio);
    BIO* keyBio = BIO_new_mem_buf(pem.privateKeyPem.data(), static_cast<int>(pem.privateKeyPem.size()));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
    BIO_free(keyBio);
    const bool ok = cert != nullptr && key != nullptr && SSL_CTX_use_certificate(context.get(), cert) == 1 &&
                    SSL_CTX_use_PrivateKey(context.get(), key) == 1;
    X509_free(cert);
    EVP_PKEY_free(key);
    Require(ok, "loading the test certificate failed");
    return context;
}

int ListenOnLoopback(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    Require(fd >= 0, "socket failed");
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        Require(false, "cannot listen on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return fd;
}

// Writes to a TLS peer that has gone away must not end the test process.
void IgnoreBrokenPipes() {
    static std::once_flag once;
    std::call_once(once, [] { ::signal(SIGPIPE, SIG_IGN); });
}

} // namespace

std::string ReceivedRequest::Header(std::string_view name) const {
    for (const auto& [field, value] : headers) {
        if (EqualsIgnoringCase(field, name)) return value;
    }
    return {};
}

bool ReceivedRequest::HasHeader(std::string_view name) const {
    for (const auto& field : headers) {
        if (EqualsIgnoringCase(field.first, name)) return true;
    }
    return false;
}

ScriptedAnswer EchoRequest(const ReceivedRequest& request) {
    ScriptedAnswer answer;
    answer.headers = {{"Content-Type", "text/plain"}};
    answer.body = request.head + request.body;
    return answer;
}

struct TestServer::Impl {
    Transport transport;
    RequestHandler handler;
    SslContext tls;
    int listenSocket = -1;
    std::uint16_t port = 0;
    StopSignal stop;
    std::atomic<int> connections{0};
    std::atomic<int> requests{0};
    std::thread acceptor;
    std::mutex mutex; // guards the two members below
    std::set<int> openSockets;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::list<Worker> workers;

    void AcceptLoop();
    void StartWorker(int socket);
    void Serve(int socket);
    AfterAnswer Converse(ServerStream& stream);
    ScriptedAnswer Answer(const ReceivedRequest& request);
    void JoinFinishedWorkers();
};

TestServer::TestServer(Transport transport, RequestHandler handler) : impl_(std::make_unique<Impl>()) {
    IgnoreBrokenPipes();
    impl_->transport = transport;
    impl_->handler = std::move(handler);
    if (transport == Transport::Tls) impl_->tls = MakeTlsContext();
    impl_->listenSocket = ListenOnLoopback(impl_->port);
    impl_->acceptor = std::thread([impl = impl_.get()] { impl->AcceptLoop(); });
}

TestServer::~TestServer() {
    Stop();
}

std::uint16_t TestServer::Port() const {
    return impl_->port;
}
std::string TestServer::HostPort() const {
    return "127.0.0.1:" + std::to_string(impl_->port);
}
std::string TestServer::Origin() const {
    return (impl_->transport == Transport::Tls ? "https://" : "http://") + HostPort();
}
std::string TestServer::Url(std::string_view target) const {
    return Origin() + std::string(target);
}
int TestServer::ConnectionsAccepted() const {
    return impl_->connections.load();
}
int TestServer::RequestsAnswered() const {
    return impl_->requests.load();
}

void TestServer::Stop() {
    if (impl_->stop.Raised()) return;
    impl_->stop.Raise();
    if (impl_->acceptor.joinable()) impl_->acceptor.join();
    ::close(impl_->listenSocket);
    std::list<Impl::Worker> workers;
    {
        std::lock_guard lock(impl_->mutex);
        // Wakes every worker blocked in a read; each closes its own socket.
        for (const int socket : impl_->openSockets)
            ::shutdown(socket, SHUT_RDWR);
        workers.swap(impl_->workers);
    }
    for (auto& worker : workers)
        worker.thread.join();
}

void TestServer::Impl::AcceptLoop() {
    while (!stop.Raised()) {
        pollfd waiting{listenSocket, POLLIN, 0};
        if (::poll(&waiting, 1, 100) <= 0) continue;
        const int socket = ::accept4(listenSocket, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) continue;
        const int on = 1;
        ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ++connections;
        StartWorker(socket);
        JoinFinishedWorkers();
    }
}

void TestServer::Impl::StartWorker(int socket) {
    std::lock_guard lock(mutex);
    openSockets.insert(socket);
    auto done = std::make_shared<std::atomic<bool>>(false);
    workers.push_back({std::thread([this, socket, done] {
                           Serve(socket);
                           done->store(true);
                       }),
                       done});
}

void TestServer::Impl::JoinFinishedWorkers() {
    std::list<Worker> finished;
    {
        std::lock_guard lock(mutex);
        for (auto it = workers.begin(); it != workers.end();) {
            auto next = std::next(it);
            if (it->done->load()) finished.splice(finished.end(), workers, it);
            it = next;
        }
    }
    for (auto& worker : finished)
        worker.thread.join();
}

void TestServer::Impl::Serve(int socket) {
    ServerStream stream(socket, tls.get());
    const AfterAnswer after = stream.Handshake() ? Converse(stream) : AfterAnswer::CloseAbruptly;
    {
        // Forgotten before it is closed, so Stop never shuts down a reused descriptor number.
        std::lock_guard lock(mutex);
        openSockets.erase(socket);
    }
    if (after == AfterAnswer::CloseCleanly) {
        stream.CloseCleanly();
    } else {
        stream.CloseAbruptly();
    }
}

AfterAnswer TestServer::Impl::Converse(ServerStream& stream) {
    RequestReader reader(stream);
    while (!stop.Raised()) {
        const auto request = reader.Next();
        if (!request) return AfterAnswer::CloseCleanly;
        ScriptedAnswer answer = Answer(*request);
        if (EqualsIgnoringCase(request->Header("Connection"), "close")) answer.closeConnection = true;
        const AfterAnswer after = detail::WriteAnswer(stream, answer, request->method == "HEAD", stop);
        ++requests;
        if (after != AfterAnswer::KeepOpen) return after;
    }
    return AfterAnswer::CloseAbruptly;
}

ScriptedAnswer TestServer::Impl::Answer(const ReceivedRequest& request) {
    try {
        return handler(request);
    } catch (const std::exception& error) {
        ScriptedAnswer failure;
        failure.status = 500;
        failure.reason = "Internal Server Error";
        failure.body = error.what();
        return failure;
    }
}

} // namespace iploc::test
