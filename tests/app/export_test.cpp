// The export run.
#include "app/messages.h"
#include "tests/app/app_fixture.h"
#include "tests/app/workbook_files.h"

#include <atomic>
#include <regex>
#include <thread>

namespace iploc::test {
namespace {

using namespace std::chrono_literals;

LocalClock FixedClock() {
    return [] { return LocalDateTime{2022, 5, 18, 12, 0, 0, 7}; };
}

std::filesystem::path ExpectedExport(const std::filesystem::path& home) {
    return home / "归属地查询结果1652846400007.xlsx";
}

TEST_F(AppTest, ExportWritesEveryRecordIntoColumnsAToFAndEndsTheProgram) {
    Seed(3);
    Start("127.0.0.1:1", FixedClock());
    const std::filesystem::path input = Workbook({"old1", "old2", "old3", "old4", "old5"}, {{"G1", "keep"}});
    const std::string inputBefore = ReadFile(input);
    window_.ClearEvents();
    app_->OnExportClicked(T(input.string()));

    const std::vector<WindowEvent> events = window_.Events();
    std::vector<Text> captions = window_.Texts(Kind::Caption);
    EXPECT_EQ(captions, (std::vector<Text>{T("已导出1个数据"), T("已导出2个数据"), T("已导出3个数据")}));
    ASSERT_GE(events.size(), 4u);
    // The end: export off, batch on, "导出成功" without owner, then the window goes.
    const std::vector<WindowEvent> tail(events.end() - 4, events.end());
    EXPECT_EQ(tail[0].button, Button::Export);
    EXPECT_FALSE(tail[0].flag);
    EXPECT_EQ(tail[1].button, Button::Batch);
    EXPECT_TRUE(tail[1].flag);
    EXPECT_EQ(tail[2].kind, Kind::Message);
    EXPECT_EQ(tail[2].text, T("导出成功"));
    EXPECT_FALSE(tail[2].flag);
    EXPECT_EQ(tail[3].kind, Kind::Destroy);

    const std::filesystem::path output = ExpectedExport(home_.path());
    ASSERT_TRUE(std::filesystem::exists(output));
    EXPECT_EQ(app_->LastExportReport()->path, output);
    const std::vector<std::vector<std::string>> rows = ReadRows(output);
    ASSERT_EQ(rows.size(), 5u);
    for (int i = 1; i <= 3; ++i) {
        const std::string n = std::to_string(i);
        EXPECT_EQ(rows[i - 1],
                  (std::vector<std::string>{"10.9.9." + n, "c" + n, "p" + n, "ci" + n, "a" + n, "i" + n}));
    }
    EXPECT_EQ(rows[3][0], "old4"); // rows below the records keep what the sheet held
    EXPECT_EQ(ReadCell(output, "G1"), "keep");
    EXPECT_EQ(ReadFile(input), inputBefore); // the opened workbook is left as it was
    EXPECT_EQ(Stored().size(), 3u);          // the export changes nothing in the store
}

TEST_F(AppTest, ExportWithoutRecordsSavesTheWorkbookUnchangedUnderTheExportName) {
    Start("127.0.0.1:1", FixedClock());
    app_->OnExportClicked(T(Workbook({"a", "b"}).string()));
    EXPECT_TRUE(window_.Texts(Kind::Caption).size() == 1); // only the start-up count caption
    EXPECT_EQ(window_.Last(Kind::Message), T("导出成功"));
    const std::vector<std::vector<std::string>> rows = ReadRows(ExpectedExport(home_.path()));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "a");
    EXPECT_EQ(rows[1][0], "b");
}

TEST_F(AppTest, ExportOfAWorkbookThatCannotBeOpenedFillsANewOne) {
    Seed(2);
    Start("127.0.0.1:1");
    app_->OnExportClicked(T((files_.path() / "missing.xlsx").string()));
    const ExportReport report = app_->LastExportReport().value();
    EXPECT_TRUE(report.saved);
    EXPECT_TRUE(
        std::regex_match(report.path.filename().string(), std::regex("归属地查询结果[0-9]{13}\\.xlsx")));
    EXPECT_EQ(report.path.parent_path(), home_.path());
    const std::vector<std::vector<std::string>> rows = ReadRows(report.path);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], "10.9.9.2");
}

TEST_F(AppTest, ExportThatCannotSaveSaysSoAndKeepsTheWindow) {
    // A directory stands where the file would go, so nothing can be written there.
    Seed(1);
    Start("127.0.0.1:1", FixedClock());
    std::filesystem::create_directory(ExpectedExport(home_.path()));
    app_->OnExportClicked(T(Workbook({"a"}).string()));
    EXPECT_EQ(window_.Last(Kind::Message), ExportFailedMessage());
    EXPECT_TRUE(window_.Texts(Kind::Destroy).empty());
    EXPECT_EQ(window_.ButtonState(Button::Batch), std::nullopt);
    EXPECT_FALSE(app_->LastExportReport()->saved);
}

TEST_F(AppTest, ExportDuringABatchWritesTheRecordsStoredAtThatMoment) {
    // The run stores two rows, then its third request is held until the export is done.
    std::atomic<int> answered{0};
    std::atomic<bool> exported{false};
    RecordingServer server([&](const ReceivedRequest& request) {
        if (++answered == 3) {
            while (!exported)
                std::this_thread::sleep_for(5ms);
        }
        const std::string ip = request.target.substr(request.target.find('=') + 1);
        return Body(AnswerJson(ip, {"c", "p", "ci", "a", "i"}));
    });
    Start(server.HostPort(), FixedClock());
    app_->OnBatchClicked(T(Workbook({"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"}).string()));
    // Rows 1 and 2 are stored (their captions are shown); row 3's answer is held back.
    ASSERT_TRUE(window_.WaitUntil([](const std::vector<WindowEvent>& events) {
        return !events.empty() && events.back().text == ProcessingCaption(2);
    }));
    app_->OnExportClicked(T(Workbook({}).string()));
    exported = true;
    app_->WaitForWorkers();
    const std::vector<std::vector<std::string>> rows = ReadRows(ExpectedExport(home_.path()));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "10.0.0.1");
    EXPECT_EQ(rows[1][0], "10.0.0.2");
    EXPECT_EQ(Stored().size(), 4u); // the run went on after the export
}

} // namespace
} // namespace iploc::test
