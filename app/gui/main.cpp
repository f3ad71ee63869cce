// iploc-gui: the main window. Start-up: the window framework, the window from its form
// (its created step opens the store and sets the count caption), then the message loop
// until the window is closed by the user or by the export. Destroying the window at the
// end stops and joins the workers and closes the store; nothing else outlives it.
#include "app/gui/dialogs.h"
#include "app/gui/main_window.h"
#include "app/gui/stop_on_signal.h"
#include "app/settings.h"

#include <QApplication>

int main(int argc, char** argv) {
    iploc::StopOnSignal::BlockStopSignals();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("iploc-gui"));
    QApplication::setDesktopFileName(QStringLiteral("iploc-gui"));

    iploc::QtDialogs dialogs;
    iploc::MainWindow window(iploc::LoadSettings(), dialogs);
    iploc::StopOnSignal stopOnSignal(window);
    window.show();
    return QApplication::exec();
}
