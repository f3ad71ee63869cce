// Inputs the fuzzers (fuzz/xlsx_fuzz.cpp, fuzz/xls_fuzz.cpp) found faults with, cut down to
// what shows each fault.
#include "services/workbook/compound_file.h"
#include "services/workbook/zip_package.h"
#include "services/workbook_automation.h"
#include "tests/services/workbook_test_support.h"

#include <gtest/gtest.h>
#include <string>

namespace iploc {
namespace {

using testing::ScratchDir;

// A compound file header declaring 4096-byte sectors and one allocation-table sector, in a
// file shorter than one such sector.
std::string ShortFileWithLargeSectors() {
    std::string file(512, '\0');
    file.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    file[30] = 12; // sector size 2^12
    file[44] = 1;  // one allocation-table sector, sector 0 (bytes 76..79 stay zero)
    return file;
}

TEST(WorkbookFuzzRegressions, CompoundFileShorterThanOneSectorIsRefused) {
    std::optional<std::string> stream;
    EXPECT_NO_THROW(stream = workbook::ReadCompoundStream(ShortFileWithLargeSectors(), "Workbook"));
    EXPECT_FALSE(stream);
}

// An .xlsx whose first row has A1 with its address and B1 without one: a cell without "r"
// stands in the column after the cell before it.
void WriteWorkbookWithCellWithoutAddress(const std::filesystem::path& path) {
    workbook::ZipPackageWriter zip;
    zip.AddBytes(
        "[Content_Types].xml",
        R"(<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
        R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
        R"(<Default Extension="xml" ContentType="application/xml"/>)"
        R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
        R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/></Types>)");
    zip.AddBytes(
        "_rels/.rels",
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>)");
    zip.AddBytes(
        "xl/workbook.xml",
        R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
        R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
        R"(<sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>)");
    zip.AddBytes(
        "xl/_rels/workbook.xml.rels",
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/></Relationships>)");
    zip.AddBytes(
        "xl/worksheets/sheet1.xml",
        R"(<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)"
        R"(<row r="1"><c r="A1" t="inlineStr"><is><t>a</t></is></c><c t="inlineStr"><is><t>b</t></is></c></row>)"
        R"(</sheetData></worksheet>)");
    ASSERT_TRUE(zip.Commit(path));
}

Text ReadCell(const std::filesystem::path& path, const Text& address) {
    WorkbookAutomation book;
    book.CreateApplication();
    book.BindWorkbook();
    book.OpenWorkbook(path);
    book.SelectSheet(1);
    book.SetStartCell(address);
    return book.ReadCellText();
}

TEST(WorkbookFuzzRegressions, EmptyingACellKeepsTheCellsWithoutAddressBehindItInTheirColumns) {
    ScratchDir dir;
    const auto input = dir / "input.xlsx";
    const auto output = dir / "output.xlsx";
    WriteWorkbookWithCellWithoutAddress(input);
    ASSERT_EQ(ReadCell(input, "B1"), "b");

    WorkbookAutomation book;
    book.CreateApplication();
    book.BindWorkbook();
    book.OpenWorkbook(input);
    book.SelectSheet(1);
    book.SetStartCell("A1");
    book.SetEndCell("A1");
    book.WriteCellText("");
    book.SaveWorkbookAs(output);
    book.CloseWorkbooks();

    EXPECT_EQ(ReadCell(output, "A1"), "");
    EXPECT_EQ(ReadCell(output, "B1"), "b");
}

} // namespace
} // namespace iploc
