#include "app/cli/progress_line.h"

#include <algorithm>
#include <cmath>

namespace iploc {
namespace {

constexpr int kBarWidth = 24;
constexpr std::chrono::milliseconds kRedrawInterval{100};

std::string DurationText(double seconds) {
    const auto total = static_cast<long long>(std::llround(seconds));
    char buffer[32];
    if (total >= 3600) {
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    } else {
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld", total / 60, total % 60);
    }
    return buffer;
}

std::string Bar(std::int64_t done, std::int64_t total) {
    const int filled = total > 0 ? static_cast<int>(kBarWidth * std::min(done, total) / total) : 0;
    return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "]";
}

} // namespace

std::string RateText(std::int64_t done, double seconds, std::optional<std::int64_t> remaining) {
    const double rate = seconds > 0 ? done / seconds : 0.0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.1f rows/s", rate);
    std::string text = buffer;
    if (remaining && rate > 0) text += ", " + DurationText(*remaining / rate) + " left";
    return text;
}

ProgressLine::ProgressLine(std::FILE* stream, bool isTerminal) : stream_(stream), isTerminal_(isTerminal) {}

void ProgressLine::Track(std::int64_t first, std::optional<std::int64_t> last) {
    first_ = first;
    last_ = last;
    start_ = std::chrono::steady_clock::now();
    lastDraw_ = {};
}

void ProgressLine::Show(const std::string& captionUtf8, std::optional<std::int64_t> number) {
    if (!isTerminal_) {
        std::fprintf(stream_, "%s\n", captionUtf8.c_str());
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    const bool finalStep = number && last_ && *number >= *last_;
    if (number && !finalStep && now - lastDraw_ < kRedrawInterval) return;
    lastDraw_ = now;
    const std::string text = number ? Decorated(captionUtf8, *number) : captionUtf8;
    std::fprintf(stream_, "\r\033[K%s", text.c_str());
    std::fflush(stream_);
    lineOpen_ = true;
}

void ProgressLine::Break() {
    if (!lineOpen_) return;
    std::fputc('\n', stream_);
    std::fflush(stream_);
    lineOpen_ = false;
}

std::string ProgressLine::Decorated(const std::string& captionUtf8, std::int64_t number) const {
    const std::int64_t done = number - first_ + 1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::string text;
    std::optional<std::int64_t> remaining;
    if (last_) {
        const std::int64_t total = *last_ - first_ + 1;
        remaining = std::max<std::int64_t>(total - done, 0);
        text = Bar(done, total) + " " + std::to_string(done) + "/" + std::to_string(total) + "  ";
    } else {
        text = std::to_string(done) + " rows  ";
    }
    return text + captionUtf8 + "  " + RateText(done, seconds, remaining);
}

} // namespace iploc
