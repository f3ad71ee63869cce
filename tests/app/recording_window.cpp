#include "tests/app/recording_window.h"

namespace iploc::test {

bool RecordingWindow::Confirm(const Text& text) {
    bool answer = false;
    {
        std::lock_guard lock(mutex_);
        if (!answers_.empty()) {
            answer = answers_.front();
            answers_.pop_front();
        }
    }
    Record({WindowEvent::Kind::Confirm, text, {}, answer});
    return answer;
}

void RecordingWindow::AnswerNextConfirm(bool ok) {
    std::lock_guard lock(mutex_);
    answers_.push_back(ok);
}

std::vector<WindowEvent> RecordingWindow::Events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::vector<Text> RecordingWindow::Texts(WindowEvent::Kind kind) const {
    std::vector<Text> texts;
    for (const WindowEvent& event : Events()) {
        if (event.kind == kind) texts.push_back(event.text);
    }
    return texts;
}

std::optional<Text> RecordingWindow::Last(WindowEvent::Kind kind) const {
    const std::vector<Text> texts = Texts(kind);
    if (texts.empty()) return std::nullopt;
    return texts.back();
}

std::optional<bool> RecordingWindow::ButtonState(Button button) const {
    std::optional<bool> state;
    for (const WindowEvent& event : Events()) {
        if (event.kind == WindowEvent::Kind::Button && event.button == button) state = event.flag;
    }
    return state;
}

void RecordingWindow::ClearEvents() {
    std::lock_guard lock(mutex_);
    events_.clear();
}

bool RecordingWindow::WaitUntil(const std::function<bool(const std::vector<WindowEvent>&)>& done,
                                std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return done(events_); });
}

void RecordingWindow::Record(WindowEvent event) {
    {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    changed_.notify_all();
}

} // namespace iploc::test
