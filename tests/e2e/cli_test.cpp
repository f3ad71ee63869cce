// The iploc command line against iploc-service, as a user runs them.
#include "tests/app/child_process.h"
#include "tests/app/workbook_files.h"

#include <fstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <thread>

namespace iploc::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path Ranges() {
    return fs::path(IPLOC_TEST_DATA_DIR) / "app" / "ranges.csv";
}

// Distinct addresses; the first 256 lie in the test table's Beijing range.
std::string AddressOfRow(int row) {
    if (row <= 256) return "36.1.0." + std::to_string(row - 1);
    return "36." + std::to_string(2 + row / 65536) + "." + std::to_string(row / 256 % 256) + "." +
           std::to_string(row % 256);
}

class CliTest : public ::testing::Test {
protected:
    std::vector<std::string> Environment() const {
        return {"IPLOC_SERVICE_HOST=" + service_.HostPort(), "IPLOC_HOME=" + home_.path().string()};
    }
    RunResult Iploc(const std::vector<std::string>& args) const {
        std::vector<std::string> argv{(BinDir() / "iploc").string()};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, Environment());
    }
    // Starts `iploc batch` and waits until its progress shows `row`; the child keeps running.
    std::unique_ptr<ChildProcess> BatchUntilRow(const fs::path& workbook, int row) const {
        auto child = std::make_unique<ChildProcess>(
            std::vector<std::string>{(BinDir() / "iploc").string(), "batch", workbook.string()},
            Environment(), files_.path() / "batch.out", files_.path() / "batch.err");
        const std::string mark = "正在处理第" + std::to_string(row) + "个数据\n";
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (ReadFile(files_.path() / "batch.err").find(mark) == std::string::npos) {
            if (child->Wait(0ms) || std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the batch ended before row " << row;
                break;
            }
            std::this_thread::sleep_for(1ms);
        }
        return child;
    }
    fs::path Workbook(int rows) const {
        std::vector<std::optional<std::string>> column;
        for (int row = 1; row <= rows; ++row)
            column.emplace_back(AddressOfRow(row));
        const fs::path path = files_.path() / "addresses.xlsx";
        WriteColumnA(path, column);
        return path;
    }
    int StoredCount() const {
        const RunResult count = Iploc({"count"});
        EXPECT_EQ(count.status, 0) << count.err;
        const std::string prefix = "当前数据库共";
        return count.out.rfind(prefix, 0) == 0 ? std::stoi(count.out.substr(prefix.size())) : -1;
    }

    ServiceProcess service_{Ranges()};
    TempDir home_;
    TempDir files_;
};

TEST_F(CliTest, ABatchKilledMidwayResumesToExactlyOneRecordPerRow) {
    const fs::path workbook = Workbook(1000);
    std::unique_ptr<ChildProcess> first = BatchUntilRow(workbook, 150);
    first->Signal(SIGKILL);
    ASSERT_EQ(first->Wait(), 128 + SIGKILL);
    const int storedAtKill = StoredCount();
    EXPECT_GE(storedAtKill, 150);
    EXPECT_LT(storedAtKill, 1000);

    const RunResult second = Iploc({"batch", workbook.string()});
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.out.find("已处理1000个数据\n"), std::string::npos) << second.out;
    // The second run starts right after the stored records.
    EXPECT_EQ(second.err.rfind("正在处理第" + std::to_string(storedAtKill + 1) + "个数据\n", 0), 0u);

    const RunResult exported = Iploc({"export", workbook.string()});
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_NE(exported.out.find("导出成功\n"), std::string::npos);
    const std::string marker = "result: ";
    const std::size_t at = exported.out.find(marker);
    ASSERT_NE(at, std::string::npos) << exported.out;
    const fs::path output =
        exported.out.substr(at + marker.size(), exported.out.find('\n', at) - at - marker.size());
    EXPECT_EQ(output.parent_path(), home_.path());

    const std::vector<std::vector<std::string>> rows = ReadRows(output);
    ASSERT_EQ(rows.size(), 1000u);
    for (int row = 1; row <= 1000; ++row) {
        ASSERT_EQ(rows[row - 1][0], AddressOfRow(row)) << "row " << row;
    }
    EXPECT_EQ(rows[0], (std::vector<std::string>{"36.1.0.0", "中国", "北京", "北京", "海淀", "联通"}));
}

TEST_F(CliTest, CtrlCStopsAfterTheRowInFlightAndSaysHowManyRowsWereDone) {
    const fs::path workbook = Workbook(1000);
    std::unique_ptr<ChildProcess> batch = BatchUntilRow(workbook, 100);
    batch->Signal(SIGINT);
    ASSERT_EQ(batch->Wait(20s), 130);
    const std::string out = ReadFile(files_.path() / "batch.out");
    const std::string said = "interrupted: ";
    ASSERT_EQ(out.rfind(said, 0), 0u) << out;
    const int rowsDone = std::stoi(out.substr(said.size()));
    EXPECT_GE(rowsDone, 100);
    EXPECT_EQ(StoredCount(), rowsDone); // every row done was stored, nothing more

    const RunResult rest = Iploc({"batch", workbook.string()});
    ASSERT_EQ(rest.status, 0) << rest.err;
    EXPECT_EQ(StoredCount(), 1000);
}

TEST_F(CliTest, LookupPrintsTheValuesAsUtf8) {
    const RunResult result = Iploc({"lookup", "36.1.1.9"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "中国广东深圳南山电信\n");
}

TEST_F(CliTest, RepeatedAddressesAreRequestedOnceAndTheSavingIsReported) {
    const fs::path workbook = files_.path() / "repeated.xlsx";
    WriteColumnA(workbook, {"36.1.0.1", "36.1.0.2", "36.1.0.1", "36.1.0.1"});
    const RunResult result = Iploc({"batch", workbook.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("requests saved by answering repeated addresses from memory: 2"),
              std::string::npos)
        << result.out;
}

TEST_F(CliTest, BadInputEndsWithAClearMessageAndNonZeroStatus) {
    const fs::path text = files_.path() / "notes.txt";
    std::ofstream(text) << "these are not the rows you are looking for";
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"batch", (files_.path() / "missing.xlsx").string()}, "no such file"},
        {{"export", (files_.path() / "missing.xlsx").string()}, "no such file"},
        {{"batch", text.string()}, "not an .xlsx or .xls workbook"},
        {{"batch", files_.path().string()}, "directory"},
        {{"frobnicate"}, "unknown subcommand 'frobnicate'"},
        {{"batch"}, "WORKBOOK is required"},
        {{"clear"}, "--yes"}, // stdin is not a terminal
    };
    for (const auto& c : cases) {
        const RunResult result = Iploc(c.args);
        EXPECT_NE(result.status, 0) << c.args[0];
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.args[0] << ": " << result.err;
    }
}

TEST_F(CliTest, ClearWithYesEmptiesTheStore) {
    const fs::path workbook = files_.path() / "two.xlsx";
    WriteColumnA(workbook, {"36.1.0.1", "36.1.0.2"});
    ASSERT_EQ(Iploc({"batch", workbook.string()}).status, 0);
    EXPECT_EQ(StoredCount(), 2);
    const RunResult cleared = Iploc({"clear", "--yes"});
    EXPECT_EQ(cleared.status, 0) << cleared.err;
    EXPECT_EQ(cleared.out, "已清空当前数据库！\n当前数据库共0个数据\n");
    EXPECT_EQ(StoredCount(), 0);
}

} // namespace
} // namespace iploc::test
