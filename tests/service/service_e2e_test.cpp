// The real iploc-service executable, started on a free port and asked over HTTPS.
#include "https_client.h"
#include "service_process.h"
#include "temp_dir.h"

#include <arpa/inet.h>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace iploc {
namespace {

namespace fs = std::filesystem;

constexpr const char* kJsonType = "application/json; charset=utf-8";
const std::string kRanges = IPLOC_TEST_DATA_DIR "/service/ranges.csv";

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool ExitedWith(int status, int code) {
    return WIFEXITED(status) && WEXITSTATUS(status) == code;
}

class ServiceEndToEnd : public ::testing::Test {
protected:
    fs::path dataDir() const { return temp_.path() / "data"; }

    // Starts the service with the test ranges and a data directory of this test.
    void StartService(std::vector<std::string> args = {}) {
        args.insert(args.end(), {"--data-dir", dataDir().string(), "--ranges", kRanges});
        ASSERT_TRUE(service_.Start(temp_.path(), args)) << service_.log();
    }

    // Stops the service and expects a clean end.
    void StopService(int signal = SIGTERM) {
        const int status = service_.Stop(signal);
        EXPECT_TRUE(ExitedWith(status, 0)) << "wait status " << status << "\n" << service_.log();
    }

    void TearDown() override {
        if (service_.pid() > 0 && !service_.exitStatus()) StopService();
    }

    TempDir temp_;
    ServiceProcess service_;
};

TEST_F(ServiceEndToEnd, AnswersLookupsAndFaultsWithJsonOverOneConnection) {
    StartService();
    const struct {
        const char* target;
        long status;
        const char* body;
    } cases[] = {
        {"/json?ip=1.12.0.0", 200,
         R"({"ip":"1.12.0.0","country":"中国","province":"北京市","city":"北京市","area":"朝阳区","isp":"电信"})"},
        {"/json?ip=1.12.63.255", 200,
         R"({"ip":"1.12.63.255","country":"中国","province":"北京市","city":"北京市","area":"海淀区",)"
         R"("isp":"联通 \"光纤\", 宽带"})"},
        {"/json?ip=127.0.0.1", 200,
         R"({"ip":"127.0.0.1","country":"本机地址","province":"","city":"","area":"","isp":""})"},
        {"/json?ip=192.168.1.20", 200,
         R"({"ip":"192.168.1.20","country":"局域网","province":"","city":"","area":"","isp":""})"},
        {"/json?ip=1.12.64.0", 200,
         R"({"ip":"1.12.64.0","country":"","province":"","city":"","area":"","isp":""})"},
        {"/json?ip=1.12.0", 400, R"({"error":"invalid address","ip":"1.12.0"})"},
        // How the lookup tool sends an address with blanks around it: escaped.
        {"/json?ip=%201.12.0.1", 400, R"({"error":"invalid address","ip":" 1.12.0.1"})"},
        {"/json?ip=%E4%B8%AD", 400, R"({"error":"invalid address","ip":"中"})"},
        {"/json?ip=", 400, R"({"error":"invalid address","ip":""})"},
        {"/json", 400, R"({"error":"missing ip parameter"})"},
        {"/json?addr=1.12.0.1", 400, R"({"error":"missing ip parameter"})"},
        {"/other", 404, R"({"error":"not found"})"},
        {"/json/?ip=1.12.0.1", 404, R"({"error":"not found"})"},
    };
    HttpsClient client(service_.port());
    long connections = 0;
    // Several rounds: more requests than the HTTP library keeps a connection for by default.
    for (int round = 0; round < 3; ++round) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.target);
            const Reply reply = client.Get(c.target);
            ASSERT_EQ(reply.curlCode, 0);
            EXPECT_EQ(reply.status, c.status);
            EXPECT_EQ(reply.body, c.body);
            EXPECT_EQ(reply.contentType, kJsonType);
            connections += reply.newConnections;
        }
    }
    EXPECT_EQ(connections, 1);
}

TEST_F(ServiceEndToEnd, RawBlanksInTheRequestLineGetAnAnswerAndLeaveNoStaleOnes) {
    StartService();
    HttpsClient client(service_.port());
    const std::string beijing =
        R"({"ip":"1.12.0.1","country":"中国","province":"北京市","city":"北京市","area":"朝阳区","isp":"电信"})";
    for (const char* target : {"/json?ip= 1.12.0.1", "/json?ip=1.12 .0.1"}) {
        SCOPED_TRACE(target);
        const Reply bad = client.GetRaw(target);
        ASSERT_EQ(bad.curlCode, 0);
        EXPECT_EQ(bad.status, 400);
        EXPECT_EQ(bad.body, R"({"error":"bad request"})");
        EXPECT_EQ(bad.contentType, kJsonType);
        // The rest of the broken request must not come back as answers to the next ones.
        for (int i = 0; i < 3; ++i) {
            const Reply good = client.Get("/json?ip=1.12.0.1");
            EXPECT_EQ(good.status, 200);
            EXPECT_EQ(good.body, beijing);
        }
    }
    // A trailing blank cannot be told from the blank before "HTTP/1.1" (HTTP allows
    // several), so that address is answered as written without it.
    const Reply trailing = client.GetRaw("/json?ip=1.12.0.1 ");
    EXPECT_EQ(trailing.status, 200);
    EXPECT_EQ(trailing.body, beijing);
    EXPECT_EQ(client.GetRaw("/json?ip= ").body, R"({"error":"invalid address","ip":""})");
}

TEST_F(ServiceEndToEnd, MakesItsCertificateOnceAndKeepsIt) {
    StartService();
    const fs::path cert = dataDir() / "cert.pem";
    const fs::path key = dataDir() / "key.pem";
    struct stat info {};
    ASSERT_EQ(::stat(key.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_NE(service_.log().find("newly made"), std::string::npos) << service_.log();
    const std::string certText = Contents(cert);
    const std::string keyText = Contents(key);
    {
        // A client that trusts exactly this certificate accepts the service as 127.0.0.1.
        HttpsClient client(service_.port());
        client.Trust(cert);
        const Reply reply = client.Get("/json?ip=127.0.0.1");
        EXPECT_EQ(reply.curlCode, 0);
        EXPECT_EQ(reply.status, 200);
    }
    StopService();

    StartService();
    EXPECT_EQ(service_.log().find("newly made"), std::string::npos) << service_.log();
    EXPECT_EQ(Contents(cert), certText);
    EXPECT_EQ(Contents(key), keyText);
    HttpsClient client(service_.port());
    client.Trust(cert);
    EXPECT_EQ(client.Get("/json?ip=127.0.0.1").status, 200);
}

TEST_F(ServiceEndToEnd, RefusesToStartWithAFaultyRangeFile) {
    const fs::path bad = temp_.path() / "bad.csv";
    std::ofstream(bad) << "# overlapping\n"
                          "1.0.0.0,1.0.0.255,a,b,c,d,e\n"
                          "1.0.0.128,1.0.1.0,a,b,c,d,e\n";
    EXPECT_FALSE(service_.Start(temp_.path(), {"--data-dir", dataDir().string(), "--ranges", bad.string()}));
    ASSERT_TRUE(service_.exitStatus());
    EXPECT_TRUE(ExitedWith(*service_.exitStatus(), 1));
    EXPECT_NE(service_.log().find(bad.string() + ":3: the range shares addresses with the range on line 2"),
              std::string::npos)
        << service_.log();
}

TEST_F(ServiceEndToEnd, RefusesToStartOnAPortInUse) {
    StartService();
    ServiceProcess second;
    EXPECT_FALSE(second.Start(temp_.path() / "data",
                              {"--port", std::to_string(service_.port()), "--data-dir", dataDir().string()}));
    ASSERT_TRUE(second.exitStatus());
    EXPECT_TRUE(ExitedWith(*second.exitStatus(), 1));
    EXPECT_NE(second.log().find("cannot listen on 127.0.0.1:" + std::to_string(service_.port())),
              std::string::npos)
        << second.log();
}

// Whether TCP_NODELAY is on for every connected socket of the process `pid`, looked
// at through copies of its descriptors; empty when this system does not allow that.
// `checked` counts the sockets seen.
std::optional<int> NoDelayOfServiceSockets(pid_t pid, int* checked) {
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0) return std::nullopt;
    int allOn = 1;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        const int target = std::stoi(entry.path().filename().string());
        const int fd = static_cast<int>(::syscall(SYS_pidfd_getfd, pidfd, target, 0));
        if (fd < 0) continue;
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        int protocol = 0;
        socklen_t protocolSize = sizeof protocol;
        if (getsockopt(fd, SOL_SOCKET, SO_PROTOCOL, &protocol, &protocolSize) == 0 &&
            protocol == IPPROTO_TCP && getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) == 0) {
            int on = 0;
            socklen_t onSize = sizeof on;
            getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, &onSize);
            allOn &= on != 0 ? 1 : 0;
            ++*checked;
        }
        ::close(fd);
    }
    ::close(pidfd);
    return allOn;
}

TEST_F(ServiceEndToEnd, SetsTcpNoDelayOnItsConnections) {
    StartService();
    HttpsClient client(service_.port());
    ASSERT_EQ(client.Get("/json?ip=1.12.0.1").status, 200); // the connection stays open
    int checked = 0;
    const auto allOn = NoDelayOfServiceSockets(service_.pid(), &checked);
    if (!allOn || checked == 0) GTEST_SKIP() << "cannot look at another process's sockets here";
    EXPECT_EQ(*allOn, 1);
}

// Connects over TLS, sends `request` and hangs up without reading the answer.
void SendAndHangUp(int port, const std::string& request) {
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_client_method()),
                                                              &SSL_CTX_free);
    ASSERT_TRUE(context);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(context.get()), &SSL_free);
    SSL_set_fd(ssl.get(), fd);
    if (SSL_connect(ssl.get()) == 1) SSL_write(ssl.get(), request.data(), static_cast<int>(request.size()));
    ::close(fd);
}

TEST_F(ServiceEndToEnd, OutlivesClientsThatHangUp) {
    StartService();
    for (int i = 0; i < 20; ++i) {
        SendAndHangUp(service_.port(), "GET /json?ip=1.12.0.1 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        SendAndHangUp(service_.port(), "GET /json?ip=1.12"); // half a request
        SendAndHangUp(service_.port(), "");                  // no request at all
    }
    HttpsClient client(service_.port());
    EXPECT_EQ(client.Get("/json?ip=1.12.0.1").status, 200);
    EXPECT_TRUE(::kill(service_.pid(), 0) == 0 && !service_.exitStatus());
}

TEST_F(ServiceEndToEnd, StopsOnInterruptWithAConnectionStillOpen) {
    StartService();
    HttpsClient client(service_.port());
    ASSERT_EQ(client.Get("/json?ip=1.12.0.1").status, 200);
    StopService(SIGINT);
}

} // namespace
} // namespace iploc
