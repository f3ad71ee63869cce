// A one-way stop request shared by the application and its workers.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace iploc {

class StopSignal {
public:
    // Sets the flag and wakes every WaitFor. Safe from any thread (not from a signal handler).
    void Request();
    bool Requested() const { return flag_.load(std::memory_order_acquire); }
    // The flag itself, for operations that poll it (WebRequest's abortFlag).
    const std::atomic<bool>* Flag() const { return &flag_; }
    // Sleeps for `duration` or until a stop is requested; true when the time ran out.
    bool WaitFor(std::chrono::milliseconds duration) const;

private:
    std::atomic<bool> flag_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
};

} // namespace iploc
