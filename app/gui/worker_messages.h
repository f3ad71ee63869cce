// Message boxes asked for by worker threads.
//
// The box is shown on the UI thread while the worker waits for it to be dismissed. A
// window that is closing calls Close(): every waiting worker is released at once (the
// close joins the workers, so none may stay blocked on a box), and a box that was still
// waiting to be shown is not shown any more.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

namespace iploc {

class WorkerMessages {
public:
    // Hands a task to the UI thread; the task runs there later, or never when the window
    // goes first.
    using Post = std::function<void(std::function<void()> task)>;

    // Worker thread. Posts `show` (which shows the box modally and returns once it is
    // dismissed) and waits until it has run, or until Close(). Returns at once after Close().
    void ShowAndWait(const Post& post, std::function<void()> show);
    // Any thread. Releases every waiting worker; later calls of ShowAndWait return at once.
    void Close();
    bool Closed() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
};

} // namespace iploc
