// The batch run.
#include "app/messages.h"
#include "app/run_lock.h"
#include "tests/app/app_fixture.h"

#include <atomic>
#include <map>
#include <sqlite3.h>
#include <thread>

namespace iploc::test {
namespace {

using namespace std::chrono_literals;

std::filesystem::path Ranges() {
    return std::filesystem::path(IPLOC_TEST_DATA_DIR) / "app" / "ranges.csv";
}

// Answers every address with values derived from it: country "C<ip>", ... isp "I<ip>".
ScriptedAnswer EchoValues(const ReceivedRequest& request) {
    const std::string ip = request.target.substr(request.target.find('=') + 1);
    return Body(AnswerJson(ip, {"C" + ip, "P" + ip, "Ci" + ip, "A" + ip, "I" + ip}));
}

ResultRecord EchoRecord(const std::string& ip) {
    return {ip, "C" + ip, "P" + ip, "Ci" + ip, "A" + ip, "I" + ip};
}

std::vector<Text> ProcessingCaptions(std::int64_t first, std::int64_t last) {
    std::vector<Text> captions;
    for (std::int64_t row = first; row <= last; ++row)
        captions.push_back(ProcessingCaption(row));
    return captions;
}

TEST_F(AppTest, BatchFromAnEmptyStoreStoresEveryRowInOrder) {
    ServiceProcess service(Ranges());
    Start(service.HostPort());
    window_.ClearEvents();
    const BatchReport report = RunBatch(Workbook({"36.1.0.1", "36.1.1.2", "36.1.2.3", "36.1.0.4"}));
    EXPECT_EQ(report.firstRow, 1);
    EXPECT_EQ(report.rowsDone, 4);
    EXPECT_FALSE(report.stopped);
    // The batch button goes off for the run; afterwards export is on and batch off.
    const std::vector<WindowEvent> events = window_.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().kind, Kind::Button);
    EXPECT_EQ(events.front().button, Button::Batch);
    EXPECT_FALSE(events.front().flag);
    std::vector<Text> captions = window_.Texts(Kind::Caption);
    ASSERT_EQ(captions.size(), 5u);
    EXPECT_EQ(std::vector<Text>(captions.begin(), captions.begin() + 4), ProcessingCaptions(1, 4));
    EXPECT_EQ(captions.back(), T("已处理4个数据"));
    EXPECT_EQ(window_.Texts(Kind::Message), std::vector<Text>{T("已处理4个数据")});
    EXPECT_EQ(window_.ButtonState(Button::Export), true);
    EXPECT_EQ(window_.ButtonState(Button::Batch), false);
    const std::vector<ResultRecord> records = Stored();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0], (ResultRecord{"36.1.0.1", T("中国"), T("北京"), T("北京"), T("海淀"), T("联通")}));
    EXPECT_EQ(records[1], (ResultRecord{"36.1.1.2", T("中国"), T("广东"), T("深圳"), T("南山"), T("电信")}));
    EXPECT_EQ(records[2][0], "36.1.2.3");
    EXPECT_EQ(records[3][0], "36.1.0.4");
}

TEST_F(AppTest, BatchResumesAfterTheStoredRecordsAndEndsAtTheFirstEmptyCell) {
    // Five records stored and A6 empty: nothing is looked up.
    RecordingServer server(EchoValues);
    Seed(5);
    Start(server.HostPort());
    window_.ClearEvents();
    const BatchReport report = RunBatch(
        Workbook({"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.5", std::nullopt, "10.0.0.7"}));
    EXPECT_EQ(report.firstRow, 6);
    EXPECT_EQ(report.rowsDone, 0);
    EXPECT_TRUE(server.Targets().empty());
    EXPECT_EQ(window_.Texts(Kind::Message), std::vector<Text>{T("已处理5个数据")});
    EXPECT_EQ(window_.Last(Kind::Caption), T("已处理5个数据"));
    EXPECT_EQ(window_.ButtonState(Button::Export), true);
    EXPECT_EQ(window_.ButtonState(Button::Batch), false);
    EXPECT_EQ(Stored().size(), 5u);
}

TEST_F(AppTest, BatchResumingAtRowEightShowsItsRowNumbers) {
    RecordingServer server(EchoValues);
    Seed(7);
    Start(server.HostPort());
    std::vector<std::optional<std::string>> column(7, std::string("skipped"));
    column.insert(column.end(), {"10.0.0.8", "10.0.0.9"});
    const BatchReport report = RunBatch(Workbook(column));
    EXPECT_EQ(report.rowsDone, 2);
    EXPECT_EQ(server.Addresses(), (std::vector<std::string>{"10.0.0.8", "10.0.0.9"}));
    const std::vector<Text> captions = window_.Texts(Kind::Caption);
    ASSERT_GE(captions.size(), 3u);
    EXPECT_EQ(captions[1], T("正在处理第8个数据"));
    EXPECT_EQ(captions[2], T("正在处理第9个数据"));
    EXPECT_EQ(window_.Texts(Kind::Message), std::vector<Text>{T("已处理9个数据")});
    const std::vector<ResultRecord> records = Stored();
    ASSERT_EQ(records.size(), 9u);
    EXPECT_EQ(records[7], EchoRecord("10.0.0.8"));
    EXPECT_EQ(records[8], EchoRecord("10.0.0.9"));
}

TEST_F(AppTest, BatchSendsCellsAsReadAndStoresEveryValueTrimmed) {
    // Values with ASCII and full-width blanks around them; a tab is not a blank.
    RecordingServer server([](const ReceivedRequest& request) {
        const std::string ip = request.target.substr(request.target.find('=') + 1);
        return Body(AnswerJson(ip, {"  中国 ", "\u3000广东\u3000", "\t深圳", "南山 \u3000", "x"}));
    });
    Start(server.HostPort());
    RunBatch(Workbook({"10.0.0.1", "10.0.0.2", " 10.0.0.3 ", "   ", "\u300010.0.0.5"}));
    EXPECT_EQ(server.Addresses(), (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "%2010.0.0.3%20",
                                                            "%20%20%20", "%E3%80%8010.0.0.5"}));
    const std::vector<ResultRecord> records = Stored();
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0], (ResultRecord{"10.0.0.1", T("中国"), T("广东"), T("\t深圳"), T("南山"), "x"}));
    EXPECT_EQ(records[2][0], "10.0.0.3");
    EXPECT_EQ(records[3][0], ""); // a cell of blanks is looked up, its "ip" stored empty
    EXPECT_EQ(records[4][0], "10.0.0.5");
}

TEST_F(AppTest, BatchRetriesAnAnswerUntilItParses) {
    // Two unparsable answers (an error page, then cut-off JSON), then a good one.
    std::atomic<int> requests{0};
    RecordingServer server([&](const ReceivedRequest& request) {
        switch (++requests) {
        case 1:
            return Body("<html>try later</html>", 503);
        case 2:
            return Body(R"({"country":"A","prov)");
        default:
            return EchoValues(request);
        }
    });
    Start(server.HostPort());
    const auto start = std::chrono::steady_clock::now();
    const BatchReport report = RunBatch(Workbook({"10.0.0.1"}));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 400ms); // two pauses of 200 ms
    EXPECT_EQ(report.requestsMade, 3);
    EXPECT_EQ(server.Targets().size(), 3u);
    EXPECT_EQ(Stored(), std::vector<ResultRecord>{EchoRecord("10.0.0.1")});
}

TEST(RetryPause, TwoHundredMillisecondsFiveTimesThenDoublingUpToThirtySeconds) {
    const std::map<int, std::chrono::milliseconds> expected{
        {1, 200ms},    {5, 200ms},    {6, 400ms},     {7, 800ms},        {10, 6400ms},
        {12, 25600ms}, {13, 30000ms}, {100, 30000ms}, {1000000, 30000ms}};
    for (const auto& [failures, pause] : expected)
        EXPECT_EQ(RetryPause(failures), pause) << failures;
}

TEST_F(AppTest, BatchAnswersRepeatedAddressesFromItsMemory) {
    RecordingServer server(EchoValues);
    Start(server.HostPort());
    const BatchReport report =
        RunBatch(Workbook({"10.0.0.1", "10.0.0.2", "10.0.0.1", " 10.0.0.1", "10.0.0.2", "10.0.0.1"}));
    EXPECT_EQ(report.rowsDone, 6);
    EXPECT_EQ(report.requestsSaved, 3);
    // " 10.0.0.1" is a different request address, so it is asked for.
    EXPECT_EQ(server.Addresses(), (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "%2010.0.0.1"}));
    const std::vector<ResultRecord> records = Stored();
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[2], EchoRecord("10.0.0.1"));
    EXPECT_EQ(records[3], (ResultRecord{"10.0.0.1", "C%2010.0.0.1", "P%2010.0.0.1", "Ci%2010.0.0.1",
                                        "A%2010.0.0.1", "I%2010.0.0.1"}));
    EXPECT_EQ(records[4], EchoRecord("10.0.0.2"));
}

TEST_F(AppTest, StoppingAFailingBatchEndsPromptlyWithoutGapsOrShifts) {
    // Row 1 answers; row 2's service keeps failing, so the run is in its retry pauses.
    RecordingServer server([](const ReceivedRequest& request) {
        if (request.target.ends_with("10.0.0.2")) return Body("down", 500);
        return EchoValues(request);
    });
    Start(server.HostPort());
    app_->OnBatchClicked(T(Workbook({"10.0.0.1", "10.0.0.2", "10.0.0.3"}).string()));
    while (server.Targets().size() < 4)
        std::this_thread::sleep_for(5ms);
    const auto start = std::chrono::steady_clock::now();
    app_->RequestStop();
    app_->WaitForWorkers();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s); // bounds a hang
    const BatchReport report = app_->LastBatchReport().value();
    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.rowsDone, 1);
    EXPECT_TRUE(window_.Texts(Kind::Message).empty()); // a stopped run shows no end message
    EXPECT_EQ(Stored(), std::vector<ResultRecord>{EchoRecord("10.0.0.1")});
}

TEST_F(AppTest, ClosingTheWindowDuringABatchAbortsTheRequestAndKeepsEveryStoredRow) {
    std::atomic<int> answered{0};
    RecordingServer server([&](const ReceivedRequest& request) {
        if (++answered > 2) return Stalled();
        return EchoValues(request);
    });
    Start(server.HostPort());
    app_->OnBatchClicked(T(Workbook({"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"}).string()));
    while (server.Targets().size() < 3)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(app_->BatchRunning());
    // A clear asked for now is refused; the run is not disturbed.
    window_.AnswerNextConfirm(true);
    app_->OnClearClicked();
    EXPECT_EQ(window_.Last(Kind::Message), ClearRefusedMessage());
    // A second batch click is ignored while the run goes on.
    app_->OnBatchClicked(T(Workbook({"10.0.0.9"}).string()));
    const auto start = std::chrono::steady_clock::now();
    app_->OnAboutToBeDestroyed();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s); // bounds a hang
    EXPECT_EQ(Stored(), (std::vector<ResultRecord>{EchoRecord("10.0.0.1"), EchoRecord("10.0.0.2")}));
}

TEST_F(AppTest, ARecordThatCannotBeStoredStopsTheRunSoNoLaterRowTakesItsPlace) {
    // Another program holds the store's write lock from the third request on, so the
    // third record cannot be appended.
    sqlite3* other = nullptr;
    std::atomic<int> answered{0};
    RecordingServer server([&](const ReceivedRequest& request) {
        if (++answered == 3) {
            // Rows 1 and 2 are stored (their captions are shown) before the lock is taken.
            EXPECT_TRUE(window_.WaitUntil([](const std::vector<WindowEvent>& events) {
                return !events.empty() && events.back().text == ProcessingCaption(2);
            }));
            EXPECT_EQ(sqlite3_open(StoreFile().c_str(), &other), SQLITE_OK);
            EXPECT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        return EchoValues(request);
    });
    Start(server.HostPort());
    const BatchReport report =
        RunBatch(Workbook({"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.5"}));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(report.storeWriteFailed);
    EXPECT_FALSE(report.stopped);
    EXPECT_EQ(report.rowsDone, 2);
    EXPECT_EQ(window_.Texts(Kind::Message).front(), StoreWriteFailedMessage(3));
    EXPECT_EQ(Stored(), (std::vector<ResultRecord>{EchoRecord("10.0.0.1"), EchoRecord("10.0.0.2")}));
}

TEST_F(AppTest, BatchIsRefusedWhileAnotherProcessRunsOne) {
    RecordingServer server(EchoValues);
    Start(server.HostPort());
    std::optional<RunLock> otherRun = RunLock::TryAcquire(StoreFile());
    ASSERT_TRUE(otherRun);
    window_.ClearEvents();
    app_->OnBatchClicked(T(Workbook({"10.0.0.1"}).string()));
    app_->WaitForWorkers();
    EXPECT_EQ(window_.Texts(Kind::Message), std::vector<Text>{BatchRefusedMessage()});
    EXPECT_EQ(window_.ButtonState(Button::Batch), std::nullopt); // still enabled for a later try
    EXPECT_TRUE(server.Targets().empty());
}

TEST_F(AppTest, BatchOnAMissingWorkbookEndsAtOnceLikeAnyRun) {
    RecordingServer server(EchoValues);
    Seed(2);
    Start(server.HostPort());
    const BatchReport report = RunBatch(files_.path() / "missing.xlsx");
    EXPECT_EQ(report.rowsDone, 0);
    EXPECT_EQ(window_.Texts(Kind::Message), std::vector<Text>{T("已处理2个数据")});
    EXPECT_EQ(window_.ButtonState(Button::Export), true);
    EXPECT_EQ(window_.ButtonState(Button::Batch), false);
}

} // namespace
} // namespace iploc::test
