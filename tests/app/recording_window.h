// A window for tests: records every call the workflows make, in order, from any thread.
#pragma once

#include "app/main_window_interface.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace iploc::test {

struct WindowEvent {
    enum class Kind { Caption, Label, Edit, Button, Message, Confirm, Destroy };
    Kind kind;
    Text text;         // caption, label, edit text, message or question
    Button button{};   // Kind::Button
    bool flag = false; // enabled state (Button), owned by window (Message), answer (Confirm)
};

class RecordingWindow : public MainWindowInterface {
public:
    void SetCaption(const Text& caption) override { Record({WindowEvent::Kind::Caption, caption}); }
    void SetLabelText(const Text& text) override { Record({WindowEvent::Kind::Label, text}); }
    void SetEditText(const Text& text) override { Record({WindowEvent::Kind::Edit, text}); }
    void SetButtonEnabled(Button button, bool enabled) override {
        Record({WindowEvent::Kind::Button, {}, button, enabled});
    }
    void ShowMessage(const Text& text, bool ownedByWindow) override {
        Record({WindowEvent::Kind::Message, text, {}, ownedByWindow});
    }
    bool Confirm(const Text& text) override;
    void ProcessPendingEvents() override { ++eventsServed_; }
    void DestroyWindow() override { Record({WindowEvent::Kind::Destroy, {}}); }

    // The answers Confirm gives, in turn; Cancel once they run out.
    void AnswerNextConfirm(bool ok);

    std::vector<WindowEvent> Events() const;
    std::vector<Text> Texts(WindowEvent::Kind kind) const;
    std::optional<Text> Last(WindowEvent::Kind kind) const;
    // The state a button was last set to; nullopt when never set (it keeps its start state).
    std::optional<bool> ButtonState(Button button) const;
    int EventsServed() const { return eventsServed_; }
    void ClearEvents();

    // Waits until `done(events)` holds; false after `limit` (a bound on a hang).
    bool WaitUntil(const std::function<bool(const std::vector<WindowEvent>&)>& done,
                   std::chrono::milliseconds limit = std::chrono::seconds(20)) const;

private:
    void Record(WindowEvent event);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<WindowEvent> events_;
    std::deque<bool> answers_;
    std::atomic<int> eventsServed_{0};
};

} // namespace iploc::test
