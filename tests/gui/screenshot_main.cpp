// gui_screenshot: shows the real window on a real X server (scripts/screenshot.sh runs it
// under Xvfb), types an address into the edit box, clicks 单次查询, waits for the answer in
// the label and saves what the screen shows around the window as a PNG.
//
// Usage: gui_screenshot OUTPUT.png ADDRESS   (settings from IPLOC_HOME and IPLOC_SERVICE_HOST)
#include "app/gui/dialogs.h"
#include "app/gui/main_form.h"
#include "app/gui/main_window.h"
#include "app/settings.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cstdio>

namespace {

// Without a window manager the X server draws no title bar, so the caption (the tool's
// status line) is written onto the screen background above the window.
void NoteCaption(QPixmap& shot, const QString& caption) {
    QPainter painter(&shot);
    painter.setPen(Qt::white);
    QFont font = iploc::ChineseFont(15);
    painter.setFont(font);
    painter.drawText(QRect(iploc::kFormFrame.left(), 8, 440, 36), Qt::AlignLeft | Qt::AlignBottom,
                     QStringLiteral("窗口标题（caption）：") + caption);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: gui_screenshot OUTPUT.png ADDRESS\n");
        return 2;
    }
    iploc::QtDialogs dialogs;
    iploc::MainWindow window(iploc::LoadSettings(), dialogs);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;

    auto* label = window.findChild<QLabel*>(QStringLiteral("标签_显示"));
    const QString before = label->text();
    QTest::keyClicks(window.findChild<QLineEdit*>(QStringLiteral("编辑框1")),
                     QString::fromLocal8Bit(argv[2]));
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("按钮_查询")), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return label->text() != before; }, 30000)) {
        std::fprintf(stderr, "gui_screenshot: no answer from the service\n");
        return 1;
    }
    QTest::qWait(300); // let the repaint reach the X server

    const QRect frame = window.frameGeometry();
    QPixmap shot = window.screen()->grabWindow(0, 0, 0, frame.right() + 1 + frame.left(),
                                               frame.bottom() + 1 + frame.left());
    NoteCaption(shot, window.windowTitle());
    if (!shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) return 1;
    std::printf("caption: %s\nlabel: %s\n", window.windowTitle().toUtf8().constData(),
                label->text().toUtf8().constData());
    return 0;
}
