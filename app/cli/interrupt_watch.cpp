#include "app/cli/interrupt_watch.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace iploc {
namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

void WriteStderr(const char* text, std::size_t size) {
    // A failed write to stderr has nowhere else to go.
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, size);
}

} // namespace

InterruptWatch::InterruptWatch(std::function<void()> onFirst) : onFirst_(std::move(onFirst)) {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    watcher_ = std::thread([this] { Watch(); });
}

InterruptWatch::~InterruptWatch() {
    finished_ = true;
    // Wakes the watcher at once; it sees finished_ and ignores the signal.
    pthread_kill(watcher_.native_handle(), SIGINT);
    watcher_.join();
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void InterruptWatch::Watch() {
    const sigset_t set = StopSignals();
    const timespec poll{0, 100 * 1000 * 1000};
    while (!finished_) {
        const int received = sigtimedwait(&set, nullptr, &poll);
        if (received < 0 || finished_) continue; // time-out, EINTR or the wake-up at the end
        if (interrupted_.exchange(true)) {
            static const char kNow[] = "\niploc: interrupted again, stopping now\n";
            WriteStderr(kNow, sizeof kNow - 1);
            ::_exit(130);
        }
        static const char kSoon[] = "\niploc: interrupted, stopping after the row in flight "
                                    "(press Ctrl-C again to stop at once)\n";
        WriteStderr(kSoon, sizeof kSoon - 1);
        if (onFirst_) onFirst_();
    }
}

} // namespace iploc
