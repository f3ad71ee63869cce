// The iploc-gui executable itself: start-up in a fresh program directory and an orderly
// end when the session asks it to stop.
#include "tests/app/child_process.h"
#include "tests/gui/gui_fixture.h"

#include <QTest>
#include <csignal>

namespace iploc::test {

using namespace std::chrono_literals;

class ProcessTest : public QObject {
    Q_OBJECT

private slots:
    void startsAndStopsOnSignal_data();
    void startsAndStopsOnSignal();
};

void ProcessTest::startsAndStopsOnSignal_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void ProcessTest::startsAndStopsOnSignal() {
    QFETCH(int, signal);
    GuiHome home;
    TempDir logs;
    ChildProcess gui({(BinDir() / "iploc-gui").string()},
                     {"QT_QPA_PLATFORM=offscreen", "IPLOC_HOME=" + home.Directory().string()},
                     logs.path() / "out", logs.path() / "err");
    // The store appears once the window's created step has run.
    QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(home.StoreFile()) || gui.Wait(0ms).has_value(), 30000);
    QVERIFY2(!gui.Wait(0ms).has_value(), ReadFile(logs.path() / "err").c_str());
    gui.Signal(signal);
    const std::optional<int> status = gui.Wait(10s);
    QVERIFY2(status.has_value(), "iploc-gui did not end after the signal");
    QCOMPARE(*status, 0);
    // A store of ours, closed properly.
    QVERIFY(ResultStore::Instance().Open(home.StoreFile(), StoreAlias()));
    QCOMPARE(ResultStore::Instance().RecordCount(), 0);
    QVERIFY(ResultStore::Instance().Close(StoreAlias()));
}

} // namespace iploc::test

QTEST_MAIN(iploc::test::ProcessTest)
#include "process_test.moc"
