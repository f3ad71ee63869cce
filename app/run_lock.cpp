#include "app/run_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace iploc {

std::optional<RunLock> RunLock::TryAcquire(const std::filesystem::path& storePath) {
    const std::filesystem::path lockPath = storePath.string() + ".lock";
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return RunLock(-1);
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) return RunLock(fd);
    const bool heldElsewhere = errno == EWOULDBLOCK;
    ::close(fd);
    if (heldElsewhere) return std::nullopt;
    return RunLock(-1);
}

RunLock::RunLock(RunLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

RunLock& RunLock::operator=(RunLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

RunLock::~RunLock() {
    Release();
}

void RunLock::Release() {
    // Closing the descriptor drops the flock.
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

} // namespace iploc
