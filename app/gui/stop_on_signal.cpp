#include "app/gui/stop_on_signal.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace iploc {
namespace {

sigset_t StopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    return stopSignals;
}

// While the modal export runs the window refuses to close; it is asked again this often.
constexpr int kRetryMilliseconds = 100;

} // namespace

void StopOnSignal::BlockStopSignals() {
    const sigset_t stopSignals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
}

StopOnSignal::StopOnSignal(QWidget& window) : window_(&window) {
    const sigset_t stopSignals = StopSignals();
    descriptor_ = signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (descriptor_ < 0) {
        // Unblocked again here, the stopSignals end the process as they normally would.
        pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
        return;
    }
    notifier_ = new QSocketNotifier(descriptor_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { SignalArrived(); });
}

StopOnSignal::~StopOnSignal() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

void StopOnSignal::SignalArrived() {
    signalfd_siginfo info;
    while (::read(descriptor_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
    TryClose();
}

void StopOnSignal::TryClose() {
    if (window_ == nullptr || !window_->isVisible()) {
        QCoreApplication::exit(0);
        return;
    }
    if (window_->close()) {
        // Also ends a message box's loop that may be running inside the main loop.
        QCoreApplication::exit(0);
        return;
    }
    QTimer::singleShot(kRetryMilliseconds, this, [this] { TryClose(); });
}

} // namespace iploc
