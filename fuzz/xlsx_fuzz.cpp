// The .xlsx reader on a fuzzed package held in memory, then the export's use of it: cells
// written into the first sheet, the workbook saved as a new file and read back.
//
// An input that starts like a zip file is the package itself. Any other input is a list of
// parts ("name\0content\0..."), stored into a zip here: mutations then reach the XML, which
// inside a real package a checksum and the compression would guard.
#include "fuzz/fuzz_input.h"
#include "fuzz/temp_file.h"
#include "fuzz/zip_builder.h"
#include "services/workbook/xlsx_workbook.h"

#include <algorithm>

namespace {

using iploc::fuzz::Expect;
using iploc::workbook::CellRef;
using iploc::workbook::Workbook;

void ReadColumnA(const Workbook& workbook, int sheet) {
    for (std::uint32_t row = 1; row <= 24; ++row)
        (void)workbook.ReadCell(sheet, CellRef{row, 1});
    (void)workbook.ReadCell(sheet, CellRef{2, 6});
    (void)workbook.ReadCell(sheet, CellRef{iploc::workbook::kMaxRows, iploc::workbook::kMaxColumns});
}

// What the export does: writes a record over the sheet's first cells and saves a copy.
void SaveAndReadBack(Workbook& workbook) {
    static const std::string kWritten = "8.8.8.8";
    for (std::uint32_t column = 1; column <= 6; ++column)
        workbook.WriteCell(0, CellRef{1, column}, kWritten);
    workbook.WriteCell(0, CellRef{2, 1}, "");
    const auto saved = iploc::fuzz::ScratchPath("saved.xlsx");
    if (!workbook.SaveAs(saved)) return;
    auto reopened = iploc::workbook::OpenWorkbookFile(saved);
    Expect(reopened != nullptr, "a saved workbook opens again");
    Expect(reopened->ReadCell(0, CellRef{1, 1}) == kWritten, "a saved cell reads back as written");
    Expect(reopened->ReadCell(0, CellRef{2, 1}).empty(), "an emptied cell reads back empty");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string package(iploc::fuzz::AsView(data, size));
    if (!package.starts_with("PK")) package = iploc::fuzz::BuildZip(iploc::fuzz::ReadZipParts(package));
    auto workbook = iploc::workbook::XlsxWorkbook::Open(std::move(package));
    if (!workbook) return 0;
    const int sheets = std::min(workbook->SheetCount(), 8);
    for (int sheet = sheets - 1; sheet >= 0; --sheet) {
        if (workbook->LoadSheet(sheet)) ReadColumnA(*workbook, sheet);
    }
    if (sheets > 0 && workbook->LoadSheet(0)) SaveAndReadBack(*workbook);
    return 0;
}
