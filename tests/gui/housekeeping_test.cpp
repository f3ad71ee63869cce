// The window's own handlers: clearing the store, dropping files, choosing a workbook.
#include "tests/gui/gui_fixture.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <QWindow>
#include <fstream>

namespace iploc::test {

using Kind = DialogCall::Kind;

class HousekeepingTest : public QObject {
    Q_OBJECT

private slots:
    void clearAnswered_data();
    void clearAnswered();
    void clearWithTheRealBox_data();
    void clearWithTheRealBox();
    void drop_data();
    void drop();
    void importThroughTheSeam();
    void importWithTheRealDialog();
};

void HousekeepingTest::clearAnswered_data() {
    QTest::addColumn<bool>("ok");
    QTest::newRow("取消") << false;
    QTest::newRow("确定") << true;
}

void HousekeepingTest::clearAnswered() {
    QFETCH(bool, ok);
    GuiHome home;
    SeedStore(home.StoreFile(), 3);
    {
        TestWindow test(home.SettingsFor());
        test.dialogs.SetNextConfirm(ok);
        QTest::mouseClick(Control<QPushButton>(*test.window, "按钮_清空数据库"), Qt::LeftButton);

        const std::vector<DialogCall> calls = test.dialogs.Calls();
        QCOMPARE(calls.size(), std::size_t{ok ? 2u : 1u});
        QCOMPARE(calls[0].kind, Kind::Confirm);
        QCOMPARE(calls[0].text, U("确定清空数据库数据？"));
        QCOMPARE(calls[0].owner, test.window.get());
        if (ok) {
            QCOMPARE(calls[1].kind, Kind::Inform);
            QCOMPARE(calls[1].text, U("已清空当前数据库！"));
            QCOMPARE(calls[1].owner, test.window.get());
        }
        QCOMPARE(test.window->windowTitle(), ok ? U("当前数据库共0个数据") : U("当前数据库共3个数据"));
        // Clearing leaves the button states as they were.
        QVERIFY(Control<QPushButton>(*test.window, "按钮_导出")->isEnabled());
        QVERIFY(Control<QPushButton>(*test.window, "按钮_批量查询")->isEnabled());
    }
    QCOMPARE(StoredRecords(home.StoreFile()).size(), std::size_t{ok ? 0u : 3u});
}

// The real confirmation box: its title, buttons and default, and every way of answering it.
void HousekeepingTest::clearWithTheRealBox_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("Escape") << "escape" << false;
    QTest::newRow("box closed") << "close" << false;
    QTest::newRow("Return (the default button)") << "return" << false;
    QTest::newRow("取消 clicked") << "取消" << false;
    QTest::newRow("确定 clicked") << "确定" << true;
}

void HousekeepingTest::clearWithTheRealBox() {
    QFETCH(QString, answer);
    QFETCH(bool, cleared);
    GuiHome home;
    SeedStore(home.StoreFile(), 2);
    QtDialogs dialogs;
    MainWindow window(home.SettingsFor(), dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    bool checked = false;
    QString clearedText;
    OnNextModal([&](QWidget& modal) {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        if (box == nullptr) return modal.close(), void();
        QStringList buttons;
        for (QAbstractButton* button : box->buttons())
            buttons << button->text();
        buttons.sort();
        checked = box->windowTitle() == U("信息：") && box->text() == U("确定清空数据库数据？") &&
                  box->parentWidget() == &window && buttons == QStringList{U("取消"), U("确定")} &&
                  box->defaultButton()->text() == U("取消") &&
                  box->escapeButton() == box->button(QMessageBox::Cancel);
        if (cleared) {
            OnNextModal([&](QWidget& next) {
                auto* done = qobject_cast<QMessageBox*>(&next);
                clearedText = done != nullptr && done->parentWidget() == &window ? done->text() : QString();
                QTest::mouseClick(done != nullptr ? done->button(QMessageBox::Ok) : nullptr, Qt::LeftButton);
            });
        }
        if (answer == "escape")
            QTest::keyClick(box, Qt::Key_Escape);
        else if (answer == "close")
            box->close();
        else if (answer == "return")
            QTest::keyClick(box, Qt::Key_Return);
        else if (answer == "取消")
            QTest::mouseClick(box->button(QMessageBox::Cancel), Qt::LeftButton);
        else
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    QTest::mouseClick(Control<QPushButton>(window, "按钮_清空数据库"), Qt::LeftButton);

    QVERIFY(checked);
    QCOMPARE(clearedText, cleared ? U("已清空当前数据库！") : QString());
    QCOMPARE(window.application().RecordCount(), cleared ? 0 : 2);
    QCOMPARE(window.windowTitle(), cleared ? U("当前数据库共0个数据") : U("当前数据库共2个数据"));
    QVERIFY(Control<QPushButton>(window, "按钮_导出")->isEnabled());
}

void HousekeepingTest::drop_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expected");
    const QString a = U("/data/地址表.xlsx");
    const QString b = U("/data/more addresses.xls");
    const QString before = U("previous text");
    QTest::newRow("one file on the edit box")
        << QStringList{a} << QStringList{} << QString() << U("编辑框1") << a;
    QTest::newRow("one file on the label")
        << QStringList{b} << QStringList{} << QString() << U("标签_显示") << b;
    QTest::newRow("one file on the window's background")
        << QStringList{a} << QStringList{} << QString() << QString() << a;
    QTest::newRow("two files on a button in the group box")
        << QStringList{a, b} << QStringList{} << QString() << U("按钮_清空数据库") << a + "\r\n" + b + "\r\n";
    QTest::newRow("two files in the other order")
        << QStringList{b, a} << QStringList{} << QString() << U("按钮_批量查询") << b + "\r\n" + a + "\r\n";
    QTest::newRow("a file and a link")
        << QStringList{a} << QStringList{U("https://example.com/x.xlsx")} << QString() << U("编辑框1") << a;
    QTest::newRow("text") << QStringList{} << QStringList{} << U("/data/typed.xlsx") << U("编辑框1")
                          << before;
    QTest::newRow("a link") << QStringList{} << QStringList{U("https://example.com/x.xlsx")} << QString()
                            << U("标签_显示") << before;
}

void HousekeepingTest::drop() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, links);
    QFETCH(QString, text);
    QFETCH(QString, target);
    QFETCH(QString, expected);
    GuiHome home;
    TestWindow test(home.SettingsFor());
    auto* edit = Control<QLineEdit>(*test.window, "编辑框1");
    edit->setText(U("previous text"));

    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files)
        urls << QUrl::fromLocalFile(file);
    for (const QString& link : links)
        urls << QUrl(link);
    if (!urls.isEmpty()) data.setUrls(urls);
    if (!text.isEmpty()) data.setText(text);

    // Through the window system's window, which finds the widget under the point as a real
    // drag does.
    QWidget* over = target.isEmpty() ? nullptr : test.window->findChild<QWidget*>(target);
    const QPoint point =
        over != nullptr ? over->mapTo(test.window.get(), over->rect().center()) : QPoint(300, 20);
    QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(test.window->windowHandle(), &enter);
    QDropEvent dropped(QPointF(point), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(test.window->windowHandle(), &dropped);

    QCOMPARE(edit->text(), expected);
    QCOMPARE(dropped.isAccepted(), !files.isEmpty());
}

void HousekeepingTest::importThroughTheSeam() {
    GuiHome home;
    TestWindow test(home.SettingsFor());
    auto* edit = Control<QLineEdit>(*test.window, "编辑框1");
    auto* import = Control<QPushButton>(*test.window, "按钮_导入文件");
    const QString directory = QString::fromStdString(home.Directory().string());
    const QString first = U("/data/第一批.xlsx");
    const QString second = U("/data/second.xls");

    edit->setText(U("1.2.3.4"));
    test.dialogs.SetNextFile(first);
    QTest::mouseClick(import, Qt::LeftButton);
    QCOMPARE(edit->text(), first);

    edit->setText(U("typed"));
    test.dialogs.SetNextFile(std::nullopt);
    QTest::mouseClick(import, Qt::LeftButton);
    QCOMPARE(edit->text(), U("typed"));

    test.dialogs.SetNextFile(second);
    QTest::mouseClick(import, Qt::LeftButton);
    QCOMPARE(edit->text(), second);
    QTest::mouseClick(import, Qt::LeftButton); // unscripted: cancelled

    // Every dialog starts in the program directory, with the last confirmed choice (a
    // cancel leaves it) pre-filled.
    const std::vector<DialogCall> calls = test.dialogs.Calls();
    QCOMPARE(calls.size(), std::size_t{4});
    const QString previous[] = {QString(), first, first, second};
    for (std::size_t i = 0; i < calls.size(); ++i) {
        QCOMPARE(calls[i].kind, Kind::ChooseWorkbook);
        QCOMPARE(calls[i].text, directory);
        QCOMPARE(calls[i].previous, previous[i]);
        QCOMPARE(calls[i].owner, test.window.get());
    }
}

void HousekeepingTest::importWithTheRealDialog() {
    GuiHome home;
    const QString directory = QString::fromStdString(home.Directory().string());
    const QString workbook = directory + U("/地址表.xlsx");
    std::ofstream(workbook.toStdString()) << "x";
    QtDialogs dialogs;
    MainWindow window(home.SettingsFor(), dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* edit = Control<QLineEdit>(window, "编辑框1");
    auto* import = Control<QPushButton>(window, "按钮_导入文件");

    // First time: the name entered in the dialog's file name box and confirmed with Return.
    QStringList seen;
    OnNextModal([&](QWidget& modal) {
        auto* dialog = qobject_cast<QFileDialog*>(&modal);
        if (dialog == nullptr) return modal.close(), void();
        seen << dialog->directory().absolutePath() << dialog->nameFilters().join('|')
             << dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText();
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        seen << name->text();
        name->clear();
        name->insert(U("地址表.xlsx")); // as typed (QTest types ASCII only)
        QTest::keyClick(name, Qt::Key_Return);
    });
    QTest::mouseClick(import, Qt::LeftButton);
    QCOMPARE(seen, (QStringList{directory, U("*.xls,*.xlsx (*.xls *.xlsx)"), U("*.xls,*.xlsx"), QString()}));
    QCOMPARE(edit->text(), workbook);

    // Second time: the choice is pre-filled; Escape cancels and changes nothing.
    edit->setText(U("kept"));
    seen.clear();
    OnNextModal([&](QWidget& modal) {
        auto* dialog = qobject_cast<QFileDialog*>(&modal);
        if (dialog == nullptr) return modal.close(), void();
        seen << dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text()
             << dialog->selectedFiles().join('|');
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QTest::mouseClick(import, Qt::LeftButton);
    QCOMPARE(seen, (QStringList{U("地址表.xlsx"), workbook}));
    QCOMPARE(edit->text(), U("kept"));
}

} // namespace iploc::test

QTEST_MAIN(iploc::test::HousekeepingTest)
#include "housekeeping_test.moc"
