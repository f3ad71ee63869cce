#include "services/workbook/child_process.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace iploc::workbook {
namespace {

struct Fd {
    int fd = -1;
    ~Fd() { Close(); }
    void Close() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

[[noreturn]] void RunChild(const std::function<std::optional<std::string>()>& work, int out) {
    std::optional<std::string> bytes;
    try {
        bytes = work();
    } catch (...) {
    }
    if (!bytes) _exit(1);
    for (std::size_t written = 0; written < bytes->size();) {
        const ssize_t n = ::write(out, bytes->data() + written, bytes->size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) _exit(1);
        written += std::size_t(n);
    }
    _exit(0); // no destructors or exit handlers of the parent's state run in the child
}

// Reads until end of file, the deadline or the size cap; true only at end of file.
bool ReadAll(int fd, std::string& out, std::chrono::steady_clock::time_point deadline, std::size_t maxBytes) {
    char buffer[65536];
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (out.size() + std::size_t(n) > maxBytes) return false;
        out.append(buffer, std::size_t(n));
    }
}

bool ExitedCleanly(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

std::optional<std::string> RunInChildProcess(const std::function<std::optional<std::string>()>& work,
                                             std::chrono::milliseconds timeLimit, std::size_t maxBytes) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    Fd in{fds[0]}, out{fds[1]};
    const pid_t pid = ::fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        in.Close();
        RunChild(work, out.fd);
    }
    out.Close();
    std::string bytes;
    const bool complete = ReadAll(in.fd, bytes, std::chrono::steady_clock::now() + timeLimit, maxBytes);
    if (!complete) ::kill(pid, SIGKILL);
    if (!ExitedCleanly(pid) || !complete) return std::nullopt;
    return bytes;
}

} // namespace iploc::workbook
