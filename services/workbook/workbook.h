// A workbook as the automation sees it: sheets in the workbook's order, cells read as the
// text a spreadsheet shows and written as text, and "save as" to a new .xlsx file.
#pragma once

#include "services/workbook/cell_address.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace iploc::workbook {

class Workbook {
public:
    virtual ~Workbook() = default;
    virtual int SheetCount() const = 0;
    // Makes sheet `index` (from 0) ready for reading and writing; false when it cannot be
    // (no such sheet, a sheet without cells, a damaged part).
    virtual bool LoadSheet(int index) = 0;
    // The shown text (UTF-8) of a cell of a loaded sheet; empty for an empty cell.
    virtual std::string ReadCell(int sheet, CellRef cell) const = 0;
    // Puts `text` (UTF-8) into a cell of a loaded sheet as a text value; empty text empties it.
    virtual void WriteCell(int sheet, CellRef cell, std::string_view text) = 0;
    // Writes the workbook with its changes to a new .xlsx file at `path`.
    virtual bool SaveAs(const std::filesystem::path& path) const = 0;
};

// A new workbook with one empty sheet named "Sheet1".
std::unique_ptr<Workbook> NewEmptyWorkbook();
// The workbook in the file, told apart by its first bytes (zip: .xlsx, compound file: .xls);
// nullptr when it cannot be read. Its first sheet is loaded when it is a worksheet.
std::unique_ptr<Workbook> OpenWorkbookFile(const std::filesystem::path& path);

} // namespace iploc::workbook
