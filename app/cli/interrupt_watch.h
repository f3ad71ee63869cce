// Ctrl-C handling for the command line: SIGINT and SIGTERM become a stop request.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace iploc {

// While alive, SIGINT and SIGTERM are blocked in every thread started afterwards and
// received by a watcher thread. The first one calls `onFirst` on that thread (the
// application's RequestStop, which cannot run inside a signal handler); a second one
// ends the process at once with status 130. Construct it before starting any thread.
class InterruptWatch {
public:
    explicit InterruptWatch(std::function<void()> onFirst);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    bool Interrupted() const { return interrupted_.load(); }

private:
    void Watch();

    std::function<void()> onFirst_;
    std::atomic<bool> interrupted_{false};
    std::atomic<bool> finished_{false};
    std::thread watcher_;
};

} // namespace iploc
