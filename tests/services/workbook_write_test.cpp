// Writing cells and saving workbooks, checked by reading the result back with openpyxl.
#include "services/workbook/zip_package.h"
#include "services/workbook_automation.h"
#include "tests/services/workbook_test_support.h"
#include "text/encoding.h"

#include <gtest/gtest.h>

namespace iploc {
namespace {

using testing::CellValue;
using testing::ReadBackWithOpenpyxl;
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

void Write(WorkbookAutomation& automation, const std::string& address, const std::string& utf8) {
    automation.SetStartCell(address);
    automation.SetEndCell(address);
    automation.WriteCellText(Utf8ToText(utf8));
}

Text Read(WorkbookAutomation& automation, const Text& address) {
    automation.SetStartCell(address);
    automation.SetEndCell(address);
    return automation.ReadCellText();
}

void Finish(WorkbookAutomation& automation) {
    automation.CloseWorkbooks();
    automation.ReleaseWorkbook();
    automation.QuitApplication();
    automation.ReleaseApplication();
}

// The export's writes: three records into A1:F3.
void WriteRecords(WorkbookAutomation& automation) {
    const char* columns = "ABCDEF";
    for (int row = 1; row <= 3; ++row)
        for (int c = 0; c < 6; ++c)
            Write(automation, std::string(1, columns[c]) + std::to_string(row),
                  c == 1 ? "中国" : "r" + std::to_string(row) + "c" + std::to_string(c + 1));
}

std::string EntryText(const std::filesystem::path& xlsx, const std::string& entry) {
    auto package = workbook::ZipPackageReader::Open(testing::FileBytes(xlsx));
    if (!package) return {};
    auto bytes = package->Read(package->FindEntry(entry), 1 << 24);
    return bytes ? *bytes : std::string();
}

TEST(WorkbookWrite, XlsxKeepsEverythingButTheWrittenCells) {
    ScratchDir dir;
    const auto source = WorkbookFixture("styled.xlsx");
    const std::string before = testing::FileBytes(source);
    WorkbookAutomation automation;
    Prepare(automation, source);
    WriteRecords(automation);
    EXPECT_EQ(Read(automation, "B2"), Utf8ToText("中国")); // the written text reads back at once
    automation.SaveWorkbookAs(dir / "out.xlsx");
    Finish(automation);

    EXPECT_EQ(testing::FileBytes(source), before) << "the opened file must stay as it was";
    const auto book = ReadBackWithOpenpyxl(dir / "out.xlsx");
    ASSERT_TRUE(book.is_object()) << "openpyxl could not read the saved file";
    EXPECT_EQ(book["sheets"], nlohmann::json({"Data", "Notes"}));
    EXPECT_EQ(CellValue(book, "Data!A1"), "r1c1");
    EXPECT_EQ(CellValue(book, "Data!B2"), "中国");
    EXPECT_EQ(CellValue(book, "Data!F3"), "r3c6");
    EXPECT_TRUE(book["cells"]["Data!A1"]["bold"]) << "a written cell keeps its style";
    EXPECT_EQ(book["cells"]["Data!B2"]["fill"], "FFFF00");
    EXPECT_EQ(CellValue(book, "Data!G1"), "keep me");
    EXPECT_EQ(CellValue(book, "Data!H1"), "=LEN(G1)");
    EXPECT_EQ(CellValue(book, "Data!A5"), "row five");
    EXPECT_EQ(CellValue(book, "Notes!A1"), "notes stay");
    EXPECT_EQ(CellValue(book, "Notes!B2"), 42);
}

TEST(WorkbookWrite, NewRowsAndCellsGoInOrder) {
    ScratchDir dir;
    WorkbookAutomation automation;
    Prepare(automation, WorkbookFixture("styled.xlsx"));
    Write(automation, "J9", "far");   // a new row below the others
    Write(automation, "A4", "gap");   // a new row between existing ones
    Write(automation, "C5", "mid");   // a new cell after the existing A5
    Write(automation, "AA1", "wide"); // past the row's spans
    Write(automation, "G1", "");      // emptied
    automation.SaveWorkbookAs(dir / "out.xlsx");
    Finish(automation);

    const auto book = ReadBackWithOpenpyxl(dir / "out.xlsx");
    ASSERT_TRUE(book.is_object());
    EXPECT_EQ(CellValue(book, "Data!J9"), "far");
    EXPECT_EQ(CellValue(book, "Data!A4"), "gap");
    EXPECT_EQ(CellValue(book, "Data!C5"), "mid");
    EXPECT_EQ(CellValue(book, "Data!A5"), "row five");
    EXPECT_EQ(CellValue(book, "Data!AA1"), "wide");
    EXPECT_EQ(CellValue(book, "Data!G1"), nullptr);
    const std::string sheet = EntryText(dir / "out.xlsx", "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find("<dimension ref=\"A1:AA9\"/>"), std::string::npos);
    EXPECT_LT(sheet.find("r=\"A4\""), sheet.find("r=\"A5\""));
    EXPECT_LT(sheet.find("r=\"A5\""), sheet.find("r=\"C5\""));
}

TEST(WorkbookWrite, TextsKeepBlanksMarkupAndControlCharacters) {
    ScratchDir dir;
    const std::vector<std::string> texts = {"  padded  ",  "   ",      "<a & \"b\">",
                                            "tab\there",   "bell\x07", "literal _x000D_ stays",
                                            "line\nbreak", "北京"};
    WorkbookAutomation automation;
    Prepare(automation, WorkbookFixture("styled.xlsx"));
    for (std::size_t i = 0; i < texts.size(); ++i)
        Write(automation, "K" + std::to_string(i + 1), texts[i]);
    automation.SaveWorkbookAs(dir / "out.xlsx");
    Finish(automation);

    Prepare(automation, dir / "out.xlsx");
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(Read(automation, "K" + std::to_string(i + 1)), Utf8ToText(texts[i])) << texts[i];
    const auto book = ReadBackWithOpenpyxl(dir / "out.xlsx");
    ASSERT_TRUE(book.is_object());
    EXPECT_EQ(CellValue(book, "Data!K1"), "  padded  ");
    EXPECT_EQ(CellValue(book, "Data!K2"), "   ");
    EXPECT_EQ(CellValue(book, "Data!K3"), "<a & \"b\">");
}

TEST(WorkbookWrite, SharedAndArrayFormulasSurviveOverwrites) {
    ScratchDir dir;
    WorkbookAutomation automation;
    Prepare(automation, WorkbookFixture("shared_parts.xlsx"));
    Write(automation, "B1", "replaced");
    Write(automation, "D3", "new");
    Write(automation, "E2", "in the array"); // part of the array formula held by E1
    automation.SaveWorkbookAs(dir / "out.xlsx");
    Finish(automation);

    const auto book = ReadBackWithOpenpyxl(dir / "out.xlsx");
    ASSERT_TRUE(book.is_object());
    EXPECT_EQ(CellValue(book, "Main!B1"), "replaced");
    EXPECT_EQ(CellValue(book, "Main!B2"), "=A2*2");
    EXPECT_EQ(CellValue(book, "Main!B3"), "=A3*2");
    EXPECT_EQ(CellValue(book, "Main!C2"), "rich text");
    EXPECT_EQ(CellValue(book, "Main!E1"), 20); // the array formula gave way, its result stays
    EXPECT_EQ(CellValue(book, "Main!E2"), "in the array");
    const std::string sheet = EntryText(dir / "out.xlsx", "xl/worksheets/data.xml");
    EXPECT_NE(sheet.find("<x:c r=\"B2\"><x:f>A2*2</x:f><x:v>4</x:v></x:c>"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("<x:c r=\"D3\" t=\"inlineStr\"><x:is><x:t>new</x:t></x:is></x:c>"),
              std::string::npos);
    EXPECT_NE(sheet.find("<x:row r=\"3\" spans=\"1:4\">"), std::string::npos);
    EXPECT_NE(sheet.find("<x:c r=\"E1\"><x:v>20</x:v></x:c>"), std::string::npos);
    // The calculation chain named the replaced formula: it goes, with its references.
    EXPECT_EQ(EntryText(dir / "out.xlsx", "xl/calcChain.xml"), "");
    EXPECT_EQ(EntryText(dir / "out.xlsx", "[Content_Types].xml").find("calcChain"), std::string::npos);
    EXPECT_EQ(EntryText(dir / "out.xlsx", "xl/_rels/book.xml.rels").find("calcChain"), std::string::npos);
    EXPECT_NE(EntryText(dir / "out.xlsx", "xl/book.xml").find("fullCalcOnLoad=\"1\""), std::string::npos);
}

// A table's header cells must hold its column names, unique within the table.
TEST(WorkbookWrite, WrittenTableHeadersRenameTheColumns) {
    ScratchDir dir;
    WorkbookAutomation automation;
    Prepare(automation, WorkbookFixture("table.xlsx"));
    Write(automation, "A1", "中国");
    Write(automation, "B1", "中国"); // a name the table has already
    Write(automation, "C1", "");     // no name at all
    Write(automation, "A2", "10.9.9.9");
    automation.SaveWorkbookAs(dir / "out.xlsx");
    Finish(automation);

    const auto book = ReadBackWithOpenpyxl(dir / "out.xlsx");
    ASSERT_TRUE(book.is_object());
    EXPECT_EQ(book["tables"]["Hosts!HostTable"]["columns"], nlohmann::json({"中国", "中国2", "Column3"}));
    EXPECT_EQ(book["tables"]["Hosts!HostTable"]["ref"], "A1:C3");
    EXPECT_EQ(CellValue(book, "Hosts!A1"), "中国");
    EXPECT_EQ(CellValue(book, "Hosts!B1"), "中国2");
    EXPECT_EQ(CellValue(book, "Hosts!C1"), "Column3");
    EXPECT_EQ(CellValue(book, "Hosts!A2"), "10.9.9.9");
    EXPECT_EQ(CellValue(book, "Hosts!C3"), "Shanghai");
}

// Saved as .xlsx, a macro-enabled workbook must become a plain one, or it would not open.
TEST(WorkbookWrite, MacroWorkbookIsSavedAsAPlainWorkbook) {
    ScratchDir dir;
    WorkbookAutomation automation;
    Prepare(automation, WorkbookFixture("macro.xlsm"));
    Write(automation, "A1", "written");
    automation.SaveWorkbookAs(dir / "out.xlsx");
    Finish(automation);

    const std::string types = EntryText(dir / "out.xlsx", "[Content_Types].xml");
    EXPECT_NE(types.find("<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
                         "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"),
              std::string::npos)
        << types;
    EXPECT_EQ(types.find("vbaProject"), std::string::npos);
    EXPECT_EQ(EntryText(dir / "out.xlsx", "xl/_rels/workbook.xml.rels").find("vbaProject"),
              std::string::npos);
    EXPECT_EQ(EntryText(dir / "out.xlsx", "xl/vbaProject.bin"), "");
    const auto book = ReadBackWithOpenpyxl(dir / "out.xlsx");
    ASSERT_TRUE(book.is_object());
    EXPECT_EQ(CellValue(book, "Data!A1"), "written");
    EXPECT_EQ(CellValue(book, "Notes!A1"), "notes stay");
}

// Cells without an address stand in the column after the cell before them; emptying or adding
// cells around them must not move them.
TEST(WorkbookWrite, CellsWithoutAddressKeepTheirPlace) {
    ScratchDir dir;
    WorkbookAutomation automation;
    Prepare(automation, WorkbookFixture("implicit_positions.xlsx"));
    EXPECT_EQ(Read(automation, "B1"), "b");
    EXPECT_EQ(Read(automation, "A2"), "second row");
    Write(automation, "A1", ""); // emptied: the cell goes
    Write(automation, "B2", "new");
    automation.SaveWorkbookAs(dir / "out.xlsx");
    Finish(automation);

    Prepare(automation, dir / "out.xlsx");
    EXPECT_EQ(Read(automation, "A1"), "");
    EXPECT_EQ(Read(automation, "B1"), "b");
    EXPECT_EQ(Read(automation, "C1"), "3");
    EXPECT_EQ(Read(automation, "A2"), "second row");
    EXPECT_EQ(Read(automation, "B2"), "new");
    const auto book = ReadBackWithOpenpyxl(dir / "out.xlsx");
    ASSERT_TRUE(book.is_object());
    EXPECT_EQ(CellValue(book, "Main!B1"), "b");
    EXPECT_EQ(CellValue(book, "Main!C1"), 3);
    EXPECT_EQ(CellValue(book, "Main!A2"), "second row");
}

TEST(WorkbookWrite, XlsSourceIsSavedAsXlsxWithAllItsValues) {
    ScratchDir dir;
    WorkbookAutomation automation;
    Prepare(automation, WorkbookFixture("column_a.xls"));
    Write(automation, "B1", "written");
    automation.SaveWorkbookAs(dir / "out.xlsx");
    Finish(automation);

    const auto book = ReadBackWithOpenpyxl(dir / "out.xlsx");
    ASSERT_TRUE(book.is_object());
    EXPECT_EQ(book["sheets"], nlohmann::json({"Addresses", "Second"}));
    EXPECT_EQ(CellValue(book, "Addresses!A1"), "10.0.0.1");
    EXPECT_EQ(CellValue(book, "Addresses!A2"), 12);
    EXPECT_EQ(CellValue(book, "Addresses!A3"), 1.5);
    EXPECT_EQ(CellValue(book, "Addresses!A4"), true);
    EXPECT_EQ(CellValue(book, "Addresses!A5"), 24);
    EXPECT_EQ(CellValue(book, "Addresses!A6"), "  ");
    EXPECT_EQ(CellValue(book, "Addresses!A8"), "北京");
    EXPECT_EQ(CellValue(book, "Addresses!B1"), "written");
    EXPECT_EQ(CellValue(book, "Second!A1"), "second sheet");
    EXPECT_EQ(CellValue(book, "Second!B2"), 3.25);
}

TEST(WorkbookWrite, WithoutAFileTheEmptyWorkbookIsWrittenAndSaved) {
    ScratchDir dir;
    WorkbookAutomation automation;
    Prepare(automation, dir / "missing.xlsx");
    WriteRecords(automation);
    automation.SaveWorkbookAs(dir / "out.xlsx");
    Finish(automation);

    const auto book = ReadBackWithOpenpyxl(dir / "out.xlsx");
    ASSERT_TRUE(book.is_object());
    EXPECT_EQ(book["sheets"], nlohmann::json({"Sheet1"}));
    EXPECT_EQ(CellValue(book, "Sheet1!A1"), "r1c1");
    EXPECT_EQ(CellValue(book, "Sheet1!B3"), "中国");
    EXPECT_EQ(CellValue(book, "Sheet1!F3"), "r3c6");
}

TEST(WorkbookWrite, NothingWrittenSavesTheWorkbookUnchanged) {
    ScratchDir dir;
    WorkbookAutomation automation;
    Prepare(automation, WorkbookFixture("styled.xlsx"));
    automation.SaveWorkbookAs(Utf8ToText((dir / "归属地查询结果1652846400007.xlsx").string()));
    Finish(automation);
    const auto book = ReadBackWithOpenpyxl(dir / "归属地查询结果1652846400007.xlsx");
    ASSERT_TRUE(book.is_object());
    EXPECT_EQ(book, ReadBackWithOpenpyxl(WorkbookFixture("styled.xlsx")));
}

TEST(WorkbookWrite, TheOpenedFileIsNeverOverwritten) {
    ScratchDir dir;
    std::filesystem::copy_file(WorkbookFixture("styled.xlsx"), dir / "in.xlsx");
    const std::string before = testing::FileBytes(dir / "in.xlsx");
    WorkbookAutomation automation;
    Prepare(automation, dir / "in.xlsx");
    Write(automation, "A1", "changed");
    automation.SaveWorkbookAs(dir / "in.xlsx");
    automation.SaveWorkbookAs(dir / "." / "in.xlsx");
    EXPECT_EQ(testing::FileBytes(dir / "in.xlsx"), before);
}

TEST(WorkbookWrite, RangeWritesFillEveryCellAndBadRangesWriteNothing) {
    ScratchDir dir;
    WorkbookAutomation automation;
    Prepare(automation, dir / "missing.xlsx");
    automation.SetStartCell("C3");
    automation.SetEndCell("B2");
    automation.WriteCellText("x");
    automation.SetStartCell("D1");
    automation.SetEndCell("not a cell");
    automation.WriteCellText("lost"); // must not land in the previous range
    automation.SetStartCell("A1");
    automation.SetEndCell("XFD1048576");
    automation.WriteCellText("too many cells");
    for (const char* cell : {"B2", "B3", "C2", "C3"})
        EXPECT_EQ(Read(automation, cell), "x") << cell;
    for (const char* cell : {"A1", "D1", "B1", "D4"})
        EXPECT_EQ(Read(automation, cell), "") << cell;
}

} // namespace
} // namespace iploc
