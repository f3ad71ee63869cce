// Keeps a batch run and a clear of the same store apart, within a process and across
// processes (the window and the command line share one store).
#pragma once

#include <filesystem>
#include <optional>

namespace iploc {

// An exclusive advisory lock (flock) on the file "<store>.lock" beside the store. The
// kernel drops it when its holder ends in any way, so a killed run never leaves it behind.
class RunLock {
public:
    // The lock when nobody holds it; nullopt when another holder has it (or the lock
    // file cannot be made, in which case the guard is simply not available: the
    // holder is then treated as absent and the lock granted without a file).
    static std::optional<RunLock> TryAcquire(const std::filesystem::path& storePath);

    RunLock(RunLock&& other) noexcept;
    RunLock& operator=(RunLock&& other) noexcept;
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;
    ~RunLock();

    // Releases the lock before the object goes.
    void Release();

private:
    explicit RunLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

} // namespace iploc
