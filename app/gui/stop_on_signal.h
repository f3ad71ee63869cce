// Closes the main window on SIGINT or SIGTERM the way the user's close does, so that a
// Ctrl+C in the terminal or the end of the session still stops the workers and closes
// the store before the process ends.
#pragma once

#include <QObject>
#include <QPointer>

class QSocketNotifier;
class QWidget;

namespace iploc {

class StopOnSignal : public QObject {
    Q_OBJECT

public:
    // Blocks SIGINT and SIGTERM in the calling thread. Call it first thing in main, before
    // any other thread starts, so that every thread inherits the mask and the signals
    // reach only the descriptor read here.
    static void BlockStopSignals();

    // Watches for the two signals on the calling (UI) thread.
    explicit StopOnSignal(QWidget& window);
    ~StopOnSignal() override;

private:
    void SignalArrived();
    void TryClose();

    QPointer<QWidget> window_;
    int descriptor_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace iploc
