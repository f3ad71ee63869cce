// Every workflow at once against the real location service, again and again: two single
// lookups, a batch run, a clear and an export clicked in quick succession on the UI thread
// while the workers run. Built with ThreadSanitizer (IPLOC_TSAN) this is the race check of
// the application; in any build it checks that the store stays consistent: record k always
// holds row k's address and that address's answer, and an export writes the records the
// store held, in order.
#include "tests/app/app_fixture.h"
#include "tests/app/workbook_files.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <thread>

namespace iploc::test {
namespace {

constexpr int kRows = 20;
constexpr int kRounds = 18;

std::filesystem::path Ranges() {
    return std::filesystem::path(IPLOC_TEST_DATA_DIR) / "app" / "ranges.csv";
}

// Row k (from 1) of the input workbook: addresses spread over the three ranges of ranges.csv.
std::string RowAddress(int row) {
    return "36.1." + std::to_string(row % 3) + "." + std::to_string(row);
}

// What the service answers for a row's address (the five values of its range in ranges.csv).
ResultRecord ExpectedRecord(int row) {
    static const std::array<std::array<const char*, 5>, 3> kValues{{
        {"中国", "北京", "北京", "海淀", "联通"},
        {"中国", "广东", "深圳", "南山", "电信"},
        {"中国", "上海", "上海", "浦东", "移动"},
    }};
    const auto& values = kValues[std::size_t(row % 3)];
    return {RowAddress(row), T(values[0]), T(values[1]), T(values[2]), T(values[3]), T(values[4])};
}

std::vector<std::string> AsRow(const ResultRecord& record) {
    std::vector<std::string> row;
    for (const Text& field : record)
        row.push_back(TextToUtf8(field));
    return row;
}

class StressTest : public AppTest {
protected:
    enum class Action { Lookup1, Lookup2, Batch, Clear, Export };

    // Clicks the actions in `order` with `pause` between them (none: as fast as a script, a
    // few milliseconds: as a quick user); the clicks stop once the export has ended the
    // program (its window is gone).
    void ClickAll(const std::vector<Action>& order, const std::filesystem::path& input,
                  std::chrono::milliseconds pause) {
        for (const Action action : order) {
            std::this_thread::sleep_for(pause);
            if (window_.Last(Kind::Destroy)) return;
            switch (action) {
            case Action::Lookup1:
                app_->OnLookupClicked(RowAddress(1));
                break;
            case Action::Lookup2:
                app_->OnLookupClicked(RowAddress(2));
                break;
            case Action::Batch:
                app_->OnBatchClicked(T(input.string()));
                break;
            case Action::Clear:
                window_.AnswerNextConfirm(true);
                app_->OnClearClicked();
                break;
            case Action::Export:
                app_->OnExportClicked(T(input.string()));
                break;
            }
        }
    }

    // Ends the round as the window would: destroyed by the export, or left to finish.
    void EndRound() {
        if (window_.Last(Kind::Destroy)) {
            app_->OnAboutToBeDestroyed();
        } else {
            app_->WaitForWorkers();
        }
    }

    void ExpectConsistentStore(int round) {
        const std::vector<ResultRecord> records = Stored();
        ASSERT_LE(records.size(), std::size_t(kRows)) << "round " << round;
        for (std::size_t k = 0; k < records.size(); ++k)
            EXPECT_EQ(records[k], ExpectedRecord(int(k) + 1)) << "round " << round << ", record " << k + 1;
        lastStore_ = records;
    }

    // The exported workbook's first rows are the records the store held when it started,
    // which the store still holds (records are only appended until the program ends).
    void ExpectExportMatchesStore(int round) {
        const std::optional<ExportReport> report = exportReport_;
        if (!report || !report->saved) return;
        const std::vector<std::vector<std::string>> rows = ReadRows(report->path);
        ASSERT_GE(rows.size(), std::size_t(report->recordsWritten)) << "round " << round;
        ASSERT_LE(std::size_t(report->recordsWritten), lastStore_.size()) << "round " << round;
        for (std::int64_t k = 0; k < report->recordsWritten; ++k)
            EXPECT_EQ(rows[std::size_t(k)], AsRow(lastStore_[std::size_t(k)])) << "round " << round;
    }

    std::vector<ResultRecord> lastStore_;
    std::optional<ExportReport> exportReport_;
};

TEST_F(StressTest, EveryWorkflowAtOnceKeepsTheStoreConsistent) {
    ServiceProcess service(Ranges());
    std::vector<std::optional<std::string>> column;
    for (int row = 1; row <= kRows; ++row)
        column.push_back(RowAddress(row));
    const std::filesystem::path input = Workbook(column);

    // A different order of clicks each round, so the workers meet the clear and the export
    // at different points of their work.
    const std::array<std::vector<Action>, 6> orders{{
        {Action::Lookup1, Action::Lookup2, Action::Batch, Action::Clear, Action::Export},
        {Action::Batch, Action::Lookup1, Action::Clear, Action::Lookup2, Action::Export},
        {Action::Clear, Action::Batch, Action::Lookup1, Action::Export, Action::Lookup2},
        {Action::Lookup1, Action::Batch, Action::Export, Action::Lookup2, Action::Clear},
        {Action::Export, Action::Lookup1, Action::Batch, Action::Lookup2, Action::Clear},
        {Action::Batch, Action::Clear, Action::Export, Action::Lookup1, Action::Lookup2},
    }};
    for (int round = 0; round < kRounds; ++round) {
        window_.ClearEvents();
        Start(service.HostPort());
        // Later rounds leave the workers some time between clicks, so the clear and the
        // export meet a batch run that has stored records.
        const auto pause = std::chrono::milliseconds(round < 6 ? 0 : 2 * (round - 5));
        ClickAll(orders[std::size_t(round) % orders.size()], input, pause);
        EndRound();
        exportReport_ = app_->LastExportReport();
        ExpectConsistentStore(round);
        ExpectExportMatchesStore(round);
        if (HasFatalFailure()) return;
    }
    // After the last round a batch run on its own completes the store: record k holds row k.
    Start(service.HostPort());
    RunBatch(input);
    const std::vector<ResultRecord> records = Stored();
    ASSERT_EQ(records.size(), std::size_t(kRows));
    for (int row = 1; row <= kRows; ++row)
        EXPECT_EQ(records[std::size_t(row - 1)], ExpectedRecord(row));
}

} // namespace
} // namespace iploc::test
