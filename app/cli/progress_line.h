// The command line's rendering of the window caption on stderr.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace iploc {

// On a terminal: one line redrawn in place, with a bar, the count done, the rate and the
// time left (when the total is known), at most ten times a second. Elsewhere: every
// caption on a line of its own.
class ProgressLine {
public:
    ProgressLine(std::FILE* stream, bool isTerminal);

    // The caption's number runs from `first` to `last` (e.g. sheet rows); `last` may be
    // unknown. Restarts the clock for the rate.
    void Track(std::int64_t first, std::optional<std::int64_t> last);
    // Shows `captionUtf8`; `number` is the count it carries, when it carries one.
    void Show(const std::string& captionUtf8, std::optional<std::int64_t> number);
    // Ends the line on a terminal so other output starts on a fresh line.
    void Break();

private:
    std::string Decorated(const std::string& captionUtf8, std::int64_t number) const;

    std::FILE* stream_;
    bool isTerminal_;
    std::int64_t first_ = 1;
    std::optional<std::int64_t> last_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
    bool lineOpen_ = false;
};

// Rows per second and time left as "12.3 rows/s, 0:42 left".
std::string RateText(std::int64_t done, double seconds, std::optional<std::int64_t> remaining);

} // namespace iploc
