#include "app/gui/input_blocker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace iploc {

InputBlocker::InputBlocker(QWidget& window) : window_(&window) {
    QCoreApplication::instance()->installEventFilter(this);
}

InputBlocker::~InputBlocker() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::instance()->removeEventFilter(this);
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
    if (window_ == nullptr || !IsUserInput(*event) || !watched->isWidgetType()) return false;
    return static_cast<QWidget*>(watched)->window() == window_;
}

bool IsUserInput(const QEvent& event) {
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::ContextMenu:
    case QEvent::Drop:
    case QEvent::DragEnter:
    case QEvent::DragMove:
        return true;
    default:
        return false;
    }
}

} // namespace iploc
