#include "tests/app/child_process.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <fcntl.h>
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

namespace fs = std::filesystem;
using namespace std::chrono_literals;

int StatusOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return -1;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "iploc-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code error;
    fs::remove_all(path_, error);
}

fs::path BinDir() {
    const char* dir = std::getenv("IPLOC_BIN_DIR");
    if (dir == nullptr || *dir == '\0') throw std::runtime_error("IPLOC_BIN_DIR is not set");
    return dir;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                           const fs::path& stdoutFile, const fs::path& stderrFile) {
    std::vector<std::string> args = argv;
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
        env.emplace_back(*e);
    env.insert(env.end(), environment.begin(), environment.end());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // The child starts with no signal blocked, whatever the test's threads block.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const int result = posix_spawn(&pid_, args[0].c_str(), &actions, &attributes, Pointers(args).data(),
                                   Pointers(env).data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) throw std::runtime_error("cannot start " + args[0]);
}

ChildProcess::~ChildProcess() {
    if (status_ || pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int waitStatus = 0;
    ::waitpid(pid_, &waitStatus, 0);
}

void ChildProcess::Signal(int signal) const {
    if (!status_) ::kill(pid_, signal);
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!status_) {
        int waitStatus = 0;
        const pid_t done = ::waitpid(pid_, &waitStatus, WNOHANG);
        if (done == pid_) {
            status_ = StatusOf(waitStatus);
        } else if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        } else {
            std::this_thread::sleep_for(5ms);
        }
    }
    return status_;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

RunResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                     std::chrono::milliseconds limit) {
    TempDir dir;
    ChildProcess child(argv, environment, dir.path() / "out", dir.path() / "err");
    RunResult result;
    const std::optional<int> status = child.Wait(limit);
    result.status = status.value_or(-1);
    if (!status) child.Signal(SIGKILL);
    result.out = ReadFile(dir.path() / "out");
    result.err = ReadFile(dir.path() / "err");
    return result;
}

ServiceProcess::ServiceProcess(const fs::path& ranges) {
    const fs::path portFile = dir_.path() / "port";
    std::vector<std::string> argv{
        (BinDir() / "iploc-service").string(), "--port", "0", "--port-file", portFile.string(), "--data-dir",
        (dir_.path() / "data").string()};
    if (!ranges.empty()) argv.insert(argv.end(), {"--ranges", ranges.string()});
    process_.emplace(argv, std::vector<std::string>{}, dir_.path() / "out", dir_.path() / "err");
    // Making the certificate takes a moment on the first start.
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (port_ == 0) {
        std::error_code error;
        if (fs::exists(portFile, error)) port_ = std::atoi(ReadFile(portFile).c_str());
        if (port_ != 0) break;
        if (process_->Wait(0ms) || std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("iploc-service did not start: " + ReadFile(dir_.path() / "err"));
        }
        std::this_thread::sleep_for(10ms);
    }
}

ServiceProcess::~ServiceProcess() {
    process_->Signal(SIGTERM);
    if (!process_->Wait(10s)) process_->Signal(SIGKILL);
}

int UnusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (fd >= 0) ::close(fd);
        throw std::runtime_error("cannot find a free port");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace iploc::test
