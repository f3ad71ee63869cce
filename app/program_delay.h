// ProgramDelay: a wait of a given length that keeps the caller's events served.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace iploc {

class StopSignal;

// Unit codes of ProgramDelay.
enum DelayUnit : int {
    kDelayMilliseconds = 0,
    kDelaySeconds = 1,
    kDelayMinutes = 2,
    kDelayHours = 3,
};

// The length of ProgramDelay(time, unit): time × 1, 1000, 60000 or 3600000 ms for the
// units 0 to 3. A time of 0 or less gives zero; an unknown unit counts as milliseconds.
std::chrono::milliseconds ProgramDelayDuration(std::int64_t time, int unit);

// Waits ProgramDelayDuration(time, unit) and returns true, always.
// The wait ends early when `stop` is given and a stop is requested (workers use this so
// that closing the window is never held up by a pause). When `serveEvents` is given the
// wait is cut into slices of at most 10 ms with serveEvents() called between them, which
// keeps a UI thread's events served; on a worker thread it is a plain sleep.
bool ProgramDelay(std::int64_t time = 0, int unit = kDelayMilliseconds, const StopSignal* stop = nullptr,
                  const std::function<void()>& serveEvents = {});

} // namespace iploc
