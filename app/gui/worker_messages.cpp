#include "app/gui/worker_messages.h"

#include <memory>
#include <utility>

namespace iploc {

void WorkerMessages::ShowAndWait(const Post& post, std::function<void()> show) {
    if (Closed()) return;
    // Written under mutex_ once the box has been dismissed (or skipped).
    auto done = std::make_shared<bool>(false);
    post([this, done, show = std::move(show)] {
        if (!Closed()) show();
        {
            std::lock_guard lock(mutex_);
            *done = true;
        }
        changed_.notify_all();
    });
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return *done || closed_; });
}

void WorkerMessages::Close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

bool WorkerMessages::Closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

} // namespace iploc
