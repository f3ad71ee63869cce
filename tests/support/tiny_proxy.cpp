#include "tests/support/tiny_proxy.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace iploc::test {
namespace {

using namespace std::chrono_literals;

// A port that was free a moment ago. tinyproxy cannot be told to pick one itself, so a start
// that loses the port to another process is retried with a new one.
std::uint16_t FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (fd >= 0) ::close(fd);
    if (!ok) throw std::runtime_error("tinyproxy fixture: no free port");
    return ntohs(address.sin_port);
}

bool Accepts(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) ::close(fd);
    return ok;
}

std::string MakeDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "iploc-tinyproxy-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("tinyproxy fixture: mkdtemp failed");
    return pattern;
}

void WriteConfig(const std::string& path, std::uint16_t port, const std::string& log,
                 const std::optional<TinyProxy::Credentials>& basicAuth) {
    std::ofstream config(path);
    config << "Port " << port << "\n"
           << "Listen 127.0.0.1\n"
           << "Allow 127.0.0.1\n"
           << "Timeout 60\n"
           << "MaxClients 64\n"
           << "LogFile \"" << log << "\"\n"
           << "LogLevel Connect\n";
    if (basicAuth) config << "BasicAuth " << basicAuth->user << " " << basicAuth->password << "\n";
    if (!config) throw std::runtime_error("tinyproxy fixture: cannot write " + path);
}

} // namespace

TinyProxy::TinyProxy(std::optional<Credentials> basicAuth) : directory_(MakeDirectory()) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (TryStart(basicAuth)) return;
    }
    const std::string log = Log();
    std::filesystem::remove_all(directory_);
    throw std::runtime_error("tinyproxy fixture: tinyproxy did not start; log:\n" + log);
}

TinyProxy::~TinyProxy() {
    Terminate();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

std::string TinyProxy::Log() const {
    std::ifstream file(directory_ + "/tinyproxy.log");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool TinyProxy::TryStart(const std::optional<Credentials>& basicAuth) {
    port_ = FreeLoopbackPort();
    const std::string config = directory_ + "/tinyproxy.conf";
    WriteConfig(config, port_, directory_ + "/tinyproxy.log", basicAuth);
    // -d keeps it in the foreground, as a child this fixture can wait for.
    const char* argv[] = {"tinyproxy", "-d", "-c", config.c_str(), nullptr};
    if (::posix_spawnp(&pid_, "tinyproxy", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        pid_ = -1;
        throw std::runtime_error("tinyproxy fixture: cannot run tinyproxy (is it installed?)");
    }
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Accepts(port_)) return true;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) { // it exited: most likely the port was taken
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    Terminate();
    return false;
}

void TinyProxy::Terminate() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(20ms);
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

} // namespace iploc::test
