#include "app/program_delay.h"

#include "app/stop_signal.h"

#include <algorithm>
#include <thread>

namespace iploc {
namespace {

using Clock = std::chrono::steady_clock;

// Longest wait handled; far beyond any use, it keeps the deadline arithmetic from overflowing.
constexpr double kLongestDelayMs = 1e15;
constexpr std::chrono::milliseconds kEventSlice{10};

double MillisecondsPerUnit(int unit) {
    switch (unit) {
    case kDelaySeconds:
        return 1000.0;
    case kDelayMinutes:
        return 60000.0;
    case kDelayHours:
        return 3600000.0;
    default:
        return 1.0;
    }
}

// Sleeps for `duration`, or less when a stop is requested.
void Sleep(std::chrono::milliseconds duration, const StopSignal* stop) {
    if (duration <= std::chrono::milliseconds::zero()) return;
    if (stop != nullptr) {
        stop->WaitFor(duration);
    } else {
        std::this_thread::sleep_for(duration);
    }
}

} // namespace

std::chrono::milliseconds ProgramDelayDuration(std::int64_t time, int unit) {
    // Computed in double precision like the due time of a waitable timer.
    const double ms = static_cast<double>(time) * MillisecondsPerUnit(unit);
    if (!(ms > 0.0)) return std::chrono::milliseconds::zero();
    return std::chrono::milliseconds(static_cast<std::int64_t>(std::min(ms, kLongestDelayMs)));
}

bool ProgramDelay(std::int64_t time, int unit, const StopSignal* stop,
                  const std::function<void()>& serveEvents) {
    const auto duration = ProgramDelayDuration(time, unit);
    if (!serveEvents) {
        Sleep(duration, stop);
        return true;
    }
    const auto deadline = Clock::now() + duration;
    serveEvents();
    while (stop == nullptr || !stop->Requested()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= std::chrono::milliseconds::zero()) break;
        Sleep(std::min(left, kEventSlice), stop);
        serveEvents();
    }
    return true;
}

} // namespace iploc
