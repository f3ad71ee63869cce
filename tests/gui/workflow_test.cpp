// The workflows driven through the window: a single lookup and a batch run against the
// local location service, the batch run's end, the modal export, and closing the window
// while workers run.
#include "tests/app/workbook_files.h"
#include "tests/gui/gui_fixture.h"
#include "tests/support/test_server.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <optional>
#include <thread>

namespace iploc::test {
namespace {

using namespace std::chrono_literals;

// Closing the window stops and joins its workers; far more than this means a hang.
constexpr qint64 kCloseBoundMs = 10000;

// A TLS server that answers the first `answered` requests with row values ("c1", "p1",
// ... for the first) and lets every later request stall until the server stops.
class StallingService {
public:
    explicit StallingService(int answered)
        : server_(TestServer::Transport::Tls, [this, answered](const ReceivedRequest&) {
              const int n = ++requests_;
              ScriptedAnswer answer;
              if (n > answered) {
                  answer.delayBeforeHead = kStallForever;
                  return answer;
              }
              const std::string i = std::to_string(n);
              answer.headers = {{"Content-Type", "application/json"}};
              answer.body = R"({"country":"c)" + i + R"(","province":"p)" + i + R"(","city":"ci)" + i +
                            R"(","area":"a)" + i + R"(","isp":"i)" + i + R"("})";
              return answer;
          }) {}
    std::string HostPort() const { return server_.HostPort(); }
    int Requests() const { return requests_; }

private:
    std::atomic<int> requests_{0};
    TestServer server_;
};

std::filesystem::path AddressBook(const std::filesystem::path& dir, int rows) {
    std::vector<std::optional<std::string>> column;
    for (int i = 1; i <= rows; ++i)
        column.push_back("10.0.0." + std::to_string(i));
    const std::filesystem::path path = dir / "地址表.xlsx";
    WriteColumnA(path, column);
    return path;
}

QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// Closes the window and returns how long the close took.
qint64 TimedClose(QWidget& window) {
    QElapsedTimer timer;
    timer.start();
    window.close();
    const qint64 took = timer.elapsed();
    qInfo("closing the window took %lld ms", took);
    return took;
}

} // namespace

class WorkflowTest : public QObject {
    Q_OBJECT

private slots:
    void singleLookup();
    void singleLookupWithoutService();
    void batchRunEnd();
    void exportIsModal();
    void closeDuringBatch_data();
    void closeDuringBatch();
    void closeDuringSingleLookup();
    void closeWhileTheBatchMessageIsUp();
};

void WorkflowTest::singleLookup() {
    GuiHome home;
    TempDir files;
    ServiceProcess service(WriteRanges(files.path()));
    TestWindow test(home.SettingsFor(service.HostPort()));
    auto* edit = Control<QLineEdit>(*test.window, "编辑框1");
    QTest::keyClicks(edit, QStringLiteral("1.2.3.4"));
    QTest::mouseClick(Control<QPushButton>(*test.window, "按钮_查询"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Control<QLabel>(*test.window, "标签_显示")->text(), RangeResultText(), 20000);
    QCOMPARE(edit->text(), QString());
    QCOMPARE(test.window->windowTitle(), U("当前数据库共0个数据"));
}

void WorkflowTest::singleLookupWithoutService() {
    GuiHome home;
    TestWindow test(home.SettingsFor()); // nothing listens at the service's address
    auto* label = Control<QLabel>(*test.window, "标签_显示");
    const QString before = label->text();
    auto* edit = Control<QLineEdit>(*test.window, "编辑框1");
    QTest::keyClicks(edit, QStringLiteral("1.2.3.4"));
    QTest::mouseClick(Control<QPushButton>(*test.window, "按钮_查询"), Qt::LeftButton);
    test.window->application().WaitForWorkers();
    QCoreApplication::processEvents();
    QCOMPARE(label->text(), before);
    QCOMPARE(edit->text(), QStringLiteral("1.2.3.4"));
}

// The end of a batch run: the message box (no owner, shown on the UI thread) holds the
// worker until it is dismissed; then the caption and the two buttons change.
void WorkflowTest::batchRunEnd() {
    GuiHome home;
    TempDir files;
    ServiceProcess service(WriteRanges(files.path()));
    std::vector<std::optional<std::string>> column{"1.2.3.4", " 1.2.3.5 ", "1.2.3.6"};
    const std::filesystem::path workbook = files.path() / "地址表.xlsx";
    WriteColumnA(workbook, column);
    QtDialogs dialogs;
    MainWindow window(home.SettingsFor(service.HostPort()), dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* batch = Control<QPushButton>(window, "按钮_批量查询");
    auto* exportButton = Control<QPushButton>(window, "按钮_导出");
    QVERIFY(!exportButton->isEnabled());

    QStringList seen;
    OnNextModal([&](QWidget& modal) {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        if (box == nullptr) return modal.close(), void();
        seen << box->windowTitle() << box->text() << (box->parentWidget() == nullptr ? "no owner" : "owned")
             << QString::number(box->buttons().size()) << box->buttons().front()->text();
        // While the box is up the worker waits: nothing after the box has happened yet.
        QTest::qWait(300);
        seen << window.windowTitle() << (window.application().BatchRunning() ? "running" : "ended");
        QTest::mouseClick(box->buttons().front(), Qt::LeftButton);
    });
    Control<QLineEdit>(window, "编辑框1")->setText(Q(workbook));
    QTest::mouseClick(batch, Qt::LeftButton);
    QVERIFY(!batch->isEnabled()); // one run at a time

    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 7, 30000);
    QCOMPARE(seen, (QStringList{U("信息："), U("已处理3个数据"), "no owner", "1", U("确定"),
                                U("正在处理第3个数据"), "running"}));
    QTRY_COMPARE(window.windowTitle(), U("已处理3个数据"));
    QTRY_VERIFY(!window.application().BatchRunning());
    QVERIFY(exportButton->isEnabled());
    QVERIFY(!batch->isEnabled());
    window.close();
    const std::vector<ResultRecord> records = StoredRecords(home.StoreFile());
    QCOMPARE(records.size(), std::size_t{3});
    QCOMPARE(QString::fromStdString(records[1][0]), QStringLiteral("1.2.3.5"));
}

// The export runs inside its click handler: input to the window and a close request made
// meanwhile are refused; it ends by closing the window itself.
void WorkflowTest::exportIsModal() {
    GuiHome home;
    TempDir files;
    SeedStore(home.StoreFile(), 3);
    const std::filesystem::path workbook = AddressBook(files.path(), 1);
    TestWindow test(home.SettingsFor());
    MainWindow& window = *test.window;
    QSignalSpy captions(&window, &QWidget::windowTitleChanged);
    Control<QLineEdit>(window, "编辑框1")->setText(Q(workbook));

    std::optional<bool> closedDuringExport;
    QTimer::singleShot(0, &window, [&] {
        QTest::mouseClick(Control<QPushButton>(window, "按钮_清空数据库"), Qt::LeftButton);
        closedDuringExport = window.close();
    });
    Control<QPushButton>(window, "按钮_导出")->click();

    QCOMPARE(closedDuringExport, std::optional<bool>(false));
    QVERIFY(test.dialogs.Texts(DialogCall::Kind::Confirm).isEmpty());
    QCOMPARE(test.dialogs.Texts(DialogCall::Kind::Inform), QStringList{U("导出成功")});
    QVERIFY(test.dialogs.Calls().back().owner == nullptr);
    QStringList shown;
    for (const QList<QVariant>& caption : captions)
        shown << caption.front().toString();
    QCOMPARE(shown, (QStringList{U("已导出1个数据"), U("已导出2个数据"), U("已导出3个数据")}));
    QVERIFY(!window.isVisible());
    QVERIFY(!window.application().StoreOpen());

    int exported = 0;
    for (const auto& entry : std::filesystem::directory_iterator(home.Directory())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("归属地查询结果", 0) != 0) continue;
        ++exported;
        const auto rows = ReadRows(entry.path());
        QCOMPARE(rows.size(), std::size_t{3});
        QCOMPARE(QString::fromStdString(rows[2][0]), QStringLiteral("10.0.0.3"));
    }
    QCOMPARE(exported, 1);
}

// Closing the window while a batch run waits for an answer: the request is aborted, the
// worker joined, the store closed, and only whole records of answered rows are kept.
void WorkflowTest::closeDuringBatch_data() {
    QTest::addColumn<int>("answered");
    QTest::newRow("first request in flight") << 0;
    QTest::newRow("third request in flight") << 2;
}

void WorkflowTest::closeDuringBatch() {
    QFETCH(int, answered);
    GuiHome home;
    TempDir files;
    StallingService service(answered);
    const std::filesystem::path workbook = AddressBook(files.path(), 5);
    {
        TestWindow test(home.SettingsFor(service.HostPort()));
        Control<QLineEdit>(*test.window, "编辑框1")->setText(Q(workbook));
        QTest::mouseClick(Control<QPushButton>(*test.window, "按钮_批量查询"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(service.Requests(), answered + 1, 20000);

        QVERIFY(TimedClose(*test.window) < kCloseBoundMs);
        QVERIFY(!test.window->isVisible());
        QVERIFY(!test.window->application().BatchRunning());
        QVERIFY(!test.window->application().StoreOpen());
        QVERIFY(test.dialogs.Calls().empty()); // a stopped run shows no end message
    }
    const std::vector<ResultRecord> records = StoredRecords(home.StoreFile());
    QCOMPARE(records.size(), std::size_t(answered));
    for (int i = 1; i <= answered; ++i) {
        const Text n = NumberText(i);
        QCOMPARE(records[i - 1], (ResultRecord{"10.0.0." + n, "c" + n, "p" + n, "ci" + n, "a" + n, "i" + n}));
    }
}

void WorkflowTest::closeDuringSingleLookup() {
    GuiHome home;
    StallingService service(0);
    TestWindow test(home.SettingsFor(service.HostPort()));
    auto* label = Control<QLabel>(*test.window, "标签_显示");
    const QString before = label->text();
    QTest::keyClicks(Control<QLineEdit>(*test.window, "编辑框1"), QStringLiteral("1.2.3.4"));
    QTest::mouseClick(Control<QPushButton>(*test.window, "按钮_查询"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(service.Requests(), 1, 20000);
    QVERIFY(TimedClose(*test.window) < kCloseBoundMs);
    QVERIFY(!test.window->application().StoreOpen());
    QCOMPARE(label->text(), before);
}

// The window closed while the batch run's final box is up: the worker waiting for the box
// is released, so the close does not wait for the box.
void WorkflowTest::closeWhileTheBatchMessageIsUp() {
    GuiHome home;
    TempDir files;
    StallingService service(1);
    const std::filesystem::path workbook = AddressBook(files.path(), 1);
    QtDialogs dialogs;
    MainWindow window(home.SettingsFor(service.HostPort()), dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    std::optional<qint64> closeTook;
    bool runEndedBeforeDismissal = false;
    OnNextModal([&](QWidget& modal) {
        closeTook = TimedClose(window);
        runEndedBeforeDismissal = !window.application().BatchRunning();
        modal.close();
    });
    Control<QLineEdit>(window, "编辑框1")->setText(Q(workbook));
    QTest::mouseClick(Control<QPushButton>(window, "按钮_批量查询"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(closeTook.has_value(), 20000);
    QVERIFY(*closeTook < kCloseBoundMs);
    QVERIFY(runEndedBeforeDismissal);
    QVERIFY(!window.isVisible());
    QVERIFY(!window.application().StoreOpen());
}

} // namespace iploc::test

QTEST_MAIN(iploc::test::WorkflowTest)
#include "workflow_test.moc"
