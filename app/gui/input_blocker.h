// Keeps user input away from one window for as long as it exists: the modal export runs
// inside a click handler and serves paint events meanwhile, and no other handler may run
// inside it. Other windows (a message box shown meanwhile) still get their input.
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace iploc {

class InputBlocker : public QObject {
    Q_OBJECT

public:
    explicit InputBlocker(QWidget& window);
    // Input that arrived meanwhile and was held back is delivered now, and dropped, so it
    // does not reach the window once the blocker is gone.
    ~InputBlocker() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
};

// True for the events that carry the user's input (mouse, keys, wheel, touch, shortcuts).
bool IsUserInput(const QEvent& event);

} // namespace iploc
