// The command line's implementation of the window: messages on stdout (UTF-8), the
// caption as a progress line on stderr, the confirmation as a question on the terminal.
#pragma once

#include "app/cli/progress_line.h"
#include "app/main_window_interface.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace iploc {

class CliWindow : public MainWindowInterface {
public:
    enum class CaptionMode {
        Hidden,   // captions are kept, not shown
        Progress, // the progress line on stderr
        Stdout,   // each caption as a line on stdout (the count and clear commands)
    };

    explicit CliWindow(bool assumeYes = false);
    ~CliWindow() override { EndProgress(); }

    void SetCaptionMode(CaptionMode mode) { captionMode_ = mode; }
    // See ProgressLine::Track.
    void TrackProgress(std::int64_t first, std::optional<std::int64_t> last);

    void SetCaption(const Text& caption) override;
    void SetLabelText(const Text& text) override;
    void SetEditText(const Text& text) override;
    void SetButtonEnabled(Button button, bool enabled) override;
    void ShowMessage(const Text& text, bool ownedByWindow) override;
    bool Confirm(const Text& text) override;
    void ProcessPendingEvents() override {}
    void DestroyWindow() override;

    // What the workflows left behind, for the command's exit status.
    std::optional<Text> Label() const;
    std::vector<Text> Messages() const;
    bool Destroyed() const;
    // Ends an open progress line so the command's own output starts on a fresh line.
    void EndProgress();

private:
    mutable std::mutex mutex_;
    bool assumeYes_;
    CaptionMode captionMode_ = CaptionMode::Hidden;
    ProgressLine progress_;
    std::optional<Text> label_;
    std::vector<Text> messages_;
    bool destroyed_ = false;
};

} // namespace iploc
