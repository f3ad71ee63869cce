#include "app/cli/cli_window.h"

#include "text/encoding.h"

#include <cctype>
#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace iploc {
namespace {

// The count a caption carries: its first run of ASCII digits.
std::optional<std::int64_t> NumberIn(const Text& caption) {
    const std::size_t start = caption.find_first_of("0123456789");
    if (start == Text::npos) return std::nullopt;
    std::int64_t value = 0;
    for (std::size_t i = start; i < caption.size() && std::isdigit(static_cast<unsigned char>(caption[i]));
         ++i) {
        if (value > (INT64_MAX - 9) / 10) return std::nullopt;
        value = value * 10 + (caption[i] - '0');
    }
    return value;
}

bool IsYes(std::string answer) {
    for (char& c : answer)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "y" || answer == "yes";
}

} // namespace

CliWindow::CliWindow(bool assumeYes)
    : assumeYes_(assumeYes), progress_(stderr, ::isatty(STDERR_FILENO) == 1) {}

void CliWindow::TrackProgress(std::int64_t first, std::optional<std::int64_t> last) {
    std::lock_guard lock(mutex_);
    progress_.Track(first, last);
}

void CliWindow::SetCaption(const Text& caption) {
    std::lock_guard lock(mutex_);
    if (captionMode_ == CaptionMode::Progress) {
        progress_.Show(TextToUtf8(caption), NumberIn(caption));
    } else if (captionMode_ == CaptionMode::Stdout) {
        std::printf("%s\n", TextToUtf8(caption).c_str());
        std::fflush(stdout);
    }
}

void CliWindow::SetLabelText(const Text& text) {
    std::lock_guard lock(mutex_);
    label_ = text;
    progress_.Break();
    std::printf("%s\n", TextToUtf8(text).c_str());
    std::fflush(stdout);
}

void CliWindow::SetEditText(const Text&) {}

void CliWindow::SetButtonEnabled(Button, bool) {}

void CliWindow::ShowMessage(const Text& text, bool) {
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
    progress_.Break();
    std::printf("%s\n", TextToUtf8(text).c_str());
    std::fflush(stdout);
}

bool CliWindow::Confirm(const Text& text) {
    if (assumeYes_) return true;
    {
        std::lock_guard lock(mutex_);
        progress_.Break();
        std::fprintf(stderr, "%s [y/N] ", TextToUtf8(text).c_str());
        std::fflush(stderr);
    }
    std::string answer;
    if (!std::getline(std::cin, answer)) return false; // end of input counts as Cancel
    return IsYes(answer);
}

void CliWindow::DestroyWindow() {
    std::lock_guard lock(mutex_);
    destroyed_ = true;
}

std::optional<Text> CliWindow::Label() const {
    std::lock_guard lock(mutex_);
    return label_;
}

std::vector<Text> CliWindow::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

bool CliWindow::Destroyed() const {
    std::lock_guard lock(mutex_);
    return destroyed_;
}

void CliWindow::EndProgress() {
    std::lock_guard lock(mutex_);
    progress_.Break();
}

} // namespace iploc
