// The form of the main window and its state after start-up.
#include "tests/gui/gui_fixture.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <fstream>

namespace iploc::test {

class FormTest : public QObject {
    Q_OBJECT

private slots:
    void controls_data();
    void controls();
    void windowFrame();
    void batchButtonLiesOverTheGroupBox();
    void fonts();
    void initialTexts();
    void startUp_data();
    void startUp();
    void storeThatCannotBeCreated();
};

// Every control of the form: name, parent control ("" for the window), caption, geometry
// relative to the parent's client area.
void FormTest::controls_data() {
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("kind");
    auto row = [](const char* name, const char* parent, const char* caption, QRect geometry,
                  const char* kind) {
        QTest::newRow(name) << U(parent) << U(caption) << geometry << U(kind);
    };
    row("编辑框1", "", "", {8, 32, 360, 40}, "QLineEdit");
    row("按钮_导入文件", "", "导入文件", {376, 32, 64, 40}, "QPushButton");
    row("标签_显示", "", nullptr, {8, 88, 440, 64}, "QLabel");
    row("按钮_查询", "", "单次查询", {16, 176, 96, 32}, "QPushButton");
    row("分组框1", "", "", {120, 160, 328, 56}, "QGroupBox");
    row("按钮_导出", "分组框1", "导出", {125, 16, 72, 32}, "QPushButton");
    row("按钮_清空数据库", "分组框1", "清空数据库", {208, 16, 112, 32}, "QPushButton");
    row("按钮_批量查询", "", "批量查询", {136, 176, 96, 32}, "QPushButton");
}

void FormTest::controls() {
    QFETCH(QString, parent);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    QFETCH(QString, kind);
    GuiHome home;
    TestWindow test(home.SettingsFor());
    QWidget* control = test.window->findChild<QWidget*>(QString::fromUtf8(QTest::currentDataTag()));
    QVERIFY(control != nullptr);
    QCOMPARE(QString::fromLatin1(control->metaObject()->className()), kind);
    QWidget* expectedParent = parent.isEmpty() ? test.window.get() : test.window->findChild<QWidget*>(parent);
    QCOMPARE(control->parentWidget(), expectedParent);
    QCOMPARE(control->geometry(), geometry);
    QVERIFY(control->isVisible());
    if (auto* button = qobject_cast<QPushButton*>(control)) QCOMPARE(button->text(), caption);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) QCOMPARE(edit->text(), caption);
    if (auto* group = qobject_cast<QGroupBox*>(control)) QCOMPARE(group->title(), caption);
}

void FormTest::windowFrame() {
    GuiHome home;
    TestWindow test(home.SettingsFor());
    // The form gives the outer frame; the client area is what the frame leaves (the
    // offscreen platform draws a 2-pixel frame).
    QCOMPARE(test.window->frameGeometry(), QRect(50, 50, 462, 256));
    const QMargins frame = test.window->windowHandle()->frameMargins();
    QCOMPARE(test.window->geometry(), QRect(50, 50, 462, 256).marginsRemoved(frame));
}

void FormTest::batchButtonLiesOverTheGroupBox() {
    GuiHome home;
    TestWindow test(home.SettingsFor());
    auto* batch = Control<QPushButton>(*test.window, "按钮_批量查询");
    auto* group = Control<QGroupBox>(*test.window, "分组框1");
    QVERIFY(group->geometry().contains(batch->geometry()));
    // Every point of the button is the button's, not the group box's: it lies on top.
    for (const QPoint& point :
         {batch->geometry().topLeft(), batch->geometry().center(), batch->geometry().bottomRight()}) {
        QCOMPARE(test.window->childAt(point), batch);
    }
    // From the left, the lower row reads 单次查询, 批量查询, 导出, 清空数据库.
    auto left = [&](const char* name) {
        return Control<QWidget>(*test.window, name)->mapTo(test.window.get(), QPoint()).x();
    };
    QVERIFY(left("按钮_查询") < left("按钮_批量查询"));
    QVERIFY(left("按钮_批量查询") + batch->width() <= left("按钮_导出"));
    QVERIFY(left("按钮_导出") < left("按钮_清空数据库"));
}

void FormTest::fonts() {
    GuiHome home;
    TestWindow test(home.SettingsFor());
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    const std::pair<const char*, int> sized[] = {{"编辑框1", 19}, {"标签_显示", 21}};
    for (const auto& [name, height] : sized) {
        const QFontInfo used(Control<QWidget>(*test.window, name)->font());
        QCOMPARE(used.pixelSize(), height);
        if (!chinese.isEmpty()) QVERIFY2(chinese.contains(used.family()), qPrintable(used.family()));
    }
    for (const char* name : {"按钮_导入文件", "按钮_查询", "按钮_批量查询", "按钮_导出", "按钮_清空数据库"})
        QCOMPARE(Control<QWidget>(*test.window, name)->font(), QApplication::font());
}

void FormTest::initialTexts() {
    GuiHome home;
    TestWindow test(home.SettingsFor());
    const QString label = Control<QLabel>(*test.window, "标签_显示")->text();
    QVERIFY(!label.isEmpty() && label.size() <= 20);
    QCOMPARE(Control<QLabel>(*test.window, "标签_显示")->textFormat(), Qt::PlainText);
    QVERIFY(Control<QLineEdit>(*test.window, "编辑框1")->text().isEmpty());
}

// The count caption and the button states after start-up: only the export button depends
// on the store, and only when it is empty.
void FormTest::startUp_data() {
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("exportEnabled");
    QTest::newRow("no store file") << -1 << U("当前数据库共0个数据") << false;
    QTest::newRow("empty store") << 0 << U("当前数据库共0个数据") << false;
    QTest::newRow("37 records") << 37 << U("当前数据库共37个数据") << true;
}

void FormTest::startUp() {
    QFETCH(int, records);
    QFETCH(QString, caption);
    QFETCH(bool, exportEnabled);
    GuiHome home;
    if (records >= 0) SeedStore(home.StoreFile(), records);
    TestWindow test(home.SettingsFor());
    QCOMPARE(test.window->windowTitle(), caption);
    QVERIFY(std::filesystem::exists(home.StoreFile()));
    QCOMPARE(Control<QPushButton>(*test.window, "按钮_导出")->isEnabled(), exportEnabled);
    for (const char* name : {"按钮_导入文件", "按钮_查询", "按钮_批量查询", "按钮_清空数据库"})
        QVERIFY2(Control<QPushButton>(*test.window, name)->isEnabled(), name);
    QVERIFY(test.dialogs.Calls().empty());
}

void FormTest::storeThatCannotBeCreated() {
    GuiHome home;
    // The program directory lies under a regular file, so no store can be made there.
    const std::filesystem::path blocker = home.Directory() / "not-a-directory";
    std::ofstream(blocker) << "x";
    TestWindow test(Settings{home.SettingsFor().serviceHost, blocker / "program"});
    const std::vector<DialogCall> calls = test.dialogs.Calls();
    QCOMPARE(calls.size(), std::size_t{1});
    QCOMPARE(calls[0].text, U("临时数据库创建不成功"));
    QVERIFY(calls[0].owner == nullptr);
    QCOMPARE(test.window->windowTitle(), U("当前数据库共0个数据"));
    QVERIFY(!Control<QPushButton>(*test.window, "按钮_导出")->isEnabled());
    QVERIFY(test.window->isVisible());
}

} // namespace iploc::test

QTEST_MAIN(iploc::test::FormTest)
#include "form_test.moc"
