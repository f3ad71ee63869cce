// Reading workbooks through WorkbookAutomation, on files written by openpyxl and xlwt.
#include "services/workbook_automation.h"
#include "tests/services/workbook_test_support.h"
#include "text/encoding.h"

#include <gtest/gtest.h>
#include <xlsxwriter.h>

namespace iploc {
namespace {

using testing::WorkbookFixture;

// The batch run's preparation: application, empty workbook, then the file's first sheet.
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

struct ColumnCase {
    const char* address;
    std::string shown; // UTF-8
};

void ExpectColumn(const std::filesystem::path& file, const std::vector<ColumnCase>& cases) {
    WorkbookAutomation automation;
    Prepare(automation, file);
    for (const auto& c : cases)
        EXPECT_EQ(Read(automation, c.address), Utf8ToText(c.shown)) << file << " " << c.address;
}

// Column A, one kind of cell per row: text, number, decimal, boolean, formula, blanks only,
// an empty row, Chinese text, a text formula, a large number, a negative number, and a value
// with more digits than a spreadsheet shows.
const std::vector<ColumnCase> kColumnA = {
    {"A1", "10.0.0.1"}, {"A2", "12"},   {"A3", "1.5"},  {"A4", "TRUE"}, {"A5", "24"},
    {"A6", "  "},       {"A7", ""},     {"A8", "北京"}, {"A9", "ab"},   {"A10", "1E+20"},
    {"A11", "-0.25"},   {"A12", "0.3"}, {"A13", ""},    {"B1", ""},     {"XFD1048576", ""}};

TEST(WorkbookRead, ColumnAOfXlsxFirstSheetInWorkbookOrder) {
    ExpectColumn(WorkbookFixture("column_a.xlsx"), kColumnA);
}

TEST(WorkbookRead, ColumnAOfXls) {
    std::vector<ColumnCase> cases(kColumnA.begin(), kColumnA.end());
    cases[8].shown = ""; // the .xls fixture has no text formula in A9
    cases[11].shown = "";
    ExpectColumn(WorkbookFixture("column_a.xls"), cases);
}

TEST(WorkbookRead, KindIsToldByContentNotByName) {
    ExpectColumn(WorkbookFixture("xlsx_inside.xls"), kColumnA);
}

TEST(WorkbookRead, SharedStringsRichTextInlineStringsAndErrors) {
    ExpectColumn(WorkbookFixture("shared_parts.xlsx"), {{"A1", "plain"},
                                                        {"C2", "rich text"}, // runs joined, phonetic left out
                                                        {"C3", "   "},
                                                        {"A4", "line\rbreak"},
                                                        {"B4", "inline"},
                                                        {"C4", "#N/A"},
                                                        {"B1", "0"},
                                                        {"B3", "6"},
                                                        {"$B$2", "4"}});
}

TEST(WorkbookRead, OtherSheetsBySelection) {
    WorkbookAutomation automation;
    Prepare(automation, WorkbookFixture("column_a.xls"));
    automation.SelectSheet(2);
    EXPECT_EQ(Read(automation, "A1"), "second sheet");
    EXPECT_EQ(Read(automation, "B2"), "3.25");
    automation.SelectSheet(3); // no such sheet: the current one stays
    EXPECT_EQ(Read(automation, "A1"), "second sheet");
    automation.SelectSheet(0);
    EXPECT_EQ(Read(automation, "A1"), "second sheet");

    Prepare(automation, WorkbookFixture("column_a.xlsx"));
    automation.SelectSheet(2);
    EXPECT_EQ(Read(automation, "A1"), "other sheet");
}

TEST(WorkbookRead, NothingToReadWithoutAWorkbook) {
    struct Case {
        const char* name;
        std::function<void(WorkbookAutomation&)> setUp;
    } cases[] = {
        {"missing file", [](auto& a) { Prepare(a, WorkbookFixture("no_such_file.xlsx")); }},
        {"empty path", [](auto& a) { Prepare(a, ""); }},
        {"a directory", [](auto& a) { Prepare(a, WorkbookFixture("")); }},
        {"not a workbook", [](auto& a) { Prepare(a, WorkbookFixture("make_fixtures.py")); }},
        {"no application", [](auto& a) { a.OpenWorkbook(WorkbookFixture("column_a.xlsx")); }},
        {"after quitting",
         [](auto& a) {
             Prepare(a, WorkbookFixture("column_a.xlsx"));
             a.QuitApplication();
         }},
        {"after closing",
         [](auto& a) {
             Prepare(a, WorkbookFixture("column_a.xlsx"));
             a.CloseWorkbooks();
         }},
    };
    for (const auto& c : cases) {
        WorkbookAutomation automation;
        c.setUp(automation);
        EXPECT_EQ(Read(automation, "A1"), "") << c.name;
    }
}

TEST(WorkbookRead, AddressesThatAreNotCells) {
    WorkbookAutomation automation;
    Prepare(automation, WorkbookFixture("column_a.xlsx"));
    for (const char* address :
         {"", "A", "1", "A0", "A01", "XFE1", "A1048577", "A99999999999", " A1", "A1 ", "1A"})
        EXPECT_EQ(Read(automation, address), "") << address;
    EXPECT_EQ(Read(automation, "a1"), "10.0.0.1");
    automation.ReleaseWorkbook(); // forgets the start cell too
    EXPECT_EQ(automation.ReadCellText(), "");
}

// A sheet as long as the format allows, written by libxlsxwriter: the last row reads like the first.
TEST(WorkbookRead, SheetOfTheMaximumLength) {
    testing::ScratchDir dir;
    const auto path = dir / "long.xlsx";
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    for (lxw_row_t row = 0; row < 1048576; ++row)
        worksheet_write_string(sheet, row, 0, ("10.0." + std::to_string(row % 256) + ".1").c_str(), nullptr);
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);

    WorkbookAutomation automation;
    Prepare(automation, path);
    EXPECT_EQ(Read(automation, "A1"), "10.0.0.1");
    EXPECT_EQ(Read(automation, "A1048576"), "10.0.255.1");
    EXPECT_EQ(Read(automation, "B1048576"), "");
    automation.SetStartCell("B1048576");
    automation.SetEndCell("B1048576");
    automation.WriteCellText("last");
    automation.SaveWorkbookAs(dir / "saved.xlsx");
    Prepare(automation, dir / "saved.xlsx");
    EXPECT_EQ(Read(automation, "B1048576"), "last");
    EXPECT_EQ(Read(automation, "A524288"), "10.0.255.1");
}

TEST(WorkbookRead, CodePage936PathIsConvertedForTheFileSystem) {
    testing::ScratchDir dir;
    const std::filesystem::path utf8Path = dir / "地址.xlsx";
    std::filesystem::copy_file(WorkbookFixture("column_a.xlsx"), utf8Path);
    WorkbookAutomation automation;
    automation.CreateApplication();
    automation.BindWorkbook();
    automation.OpenWorkbook(Utf8ToText(utf8Path.string()));
    EXPECT_EQ(Read(automation, "A8"), Utf8ToText("北京"));
}

} // namespace
} // namespace iploc
