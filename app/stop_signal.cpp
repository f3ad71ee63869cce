#include "app/stop_signal.h"

namespace iploc {

void StopSignal::Request() {
    {
        std::lock_guard lock(mutex_);
        flag_.store(true, std::memory_order_release);
    }
    wake_.notify_all();
}

bool StopSignal::WaitFor(std::chrono::milliseconds duration) const {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, duration, [this] { return Requested(); });
}

} // namespace iploc
