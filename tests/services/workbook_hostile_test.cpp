// Damaged and hostile workbooks end in a clean failure: the empty workbook stays current, and
// nothing crashes, hangs or eats the machine's memory.
#include "services/workbook_automation.h"
#include "tests/services/workbook_test_support.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

namespace iploc {
namespace {

using testing::ScratchDir;
using testing::WorkbookFixture;

void Prepare(WorkbookAutomation& automation, const std::filesystem::path& path) {
    automation.CreateApplication();
    automation.HideApplication();
    automation.BindWorkbook();
    automation.OpenWorkbook(path);
    automation.ActivateWorkbook();
    automation.SelectSheet(1);
}

Text Read(WorkbookAutomation& automation, const Text& address) {
    automation.SetStartCell(address);
    automation.SetEndCell(address);
    return automation.ReadCellText();
}

TEST(WorkbookHostile, UnreadableFilesLeaveTheEmptyWorkbookCurrent) {
    const char* files[] = {
        "malformed_xml.xlsx",    // a sheet cut off in the middle
        "huge_reference.xlsx",   // a cell address far past the sheet's last row
        "entities.xlsx",         // a document type with entity definitions
        "deep_nesting.xlsx",     // 100,000 nested elements
        "bomb_declared.xlsx",    // a sheet whose header admits 3 GiB
        "bomb_understated.xlsx", // a sheet that inflates past the size its header gives
        "fat_loop.xls",          // an allocation table whose chains loop
        "fat_wild.xls",          // an allocation table pointing past the file
        "truncated.xls",         // the first third of an .xls file
    };
    ScratchDir dir;
    for (const char* name : files) {
        const auto started = std::chrono::steady_clock::now();
        WorkbookAutomation automation;
        Prepare(automation, WorkbookFixture(name));
        EXPECT_EQ(Read(automation, "A1"), "") << name;
        automation.SetStartCell("A1");
        automation.SetEndCell("A1");
        automation.WriteCellText("into the empty workbook");
        automation.SaveWorkbookAs(dir / (std::string(name) + ".xlsx"));
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10)) << name;
        EXPECT_EQ(testing::CellValue(testing::ReadBackWithOpenpyxl(dir / (std::string(name) + ".xlsx")),
                                     "Sheet1!A1"),
                  "into the empty workbook")
            << name;
    }
}

TEST(WorkbookHostile, SharedStringIndexOutOfRangeReadsEmpty) {
    WorkbookAutomation automation;
    Prepare(automation, WorkbookFixture("string_index.xlsx"));
    EXPECT_EQ(Read(automation, "A1"), ""); // index 7 of a one-item table
    EXPECT_EQ(Read(automation, "A2"), ""); // an index beyond 64 bits
    EXPECT_EQ(Read(automation, "A3"), "only");
}

TEST(WorkbookHostile, NotANumberReadsAndSavesAsAnError) {
    ScratchDir dir;
    WorkbookAutomation automation;
    Prepare(automation, WorkbookFixture("nan_result.xls"));
    EXPECT_EQ(Read(automation, "A1"), "#NUM!");
    EXPECT_EQ(Read(automation, "A2"), "after");
    automation.SaveWorkbookAs(dir / "out.xlsx");
    const auto book = testing::ReadBackWithOpenpyxl(dir / "out.xlsx");
    EXPECT_EQ(testing::CellValue(book, "Odd!A1"), "#NUM!");
    EXPECT_EQ(testing::CellValue(book, "Odd!A2"), "after");
}

// Copies of good workbooks with bytes overwritten at random: whatever the damage, opening,
// reading, writing and saving must come to an end without a crash (run under the sanitizers).
TEST(WorkbookHostile, RandomlyDamagedCopies) {
    ScratchDir dir;
    for (const char* name : {"column_a.xlsx", "column_a.xls", "shared_parts.xlsx"}) {
        const std::string original = testing::FileBytes(WorkbookFixture(name));
        std::mt19937 random(20240518);
        for (int copy = 0; copy < 150; ++copy) {
            std::string damaged = original;
            const int flips = 1 + int(random() % 8);
            for (int i = 0; i < flips; ++i)
                damaged[random() % damaged.size()] = char(random());
            const auto path = dir / (std::to_string(copy) + "-" + name);
            std::ofstream(path, std::ios::binary) << damaged;
            WorkbookAutomation automation;
            Prepare(automation, path);
            for (const char* cell : {"A1", "A2", "A4", "A5", "A9", "B2", "C3"})
                Read(automation, cell);
            automation.SelectSheet(2);
            Read(automation, "A1");
            automation.SelectSheet(1);
            automation.SetStartCell("B1");
            automation.SetEndCell("B2");
            automation.WriteCellText("written");
            automation.SaveWorkbookAs(dir / "out.xlsx");
        }
    }
}

} // namespace
} // namespace iploc
