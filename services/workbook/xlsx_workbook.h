// A workbook read from an .xlsx package. Sheets are loaded (inflated and indexed) when first
// selected; written cells are kept apart from the sheet text until the workbook is saved,
// when the package is copied with only the changed sheets rewritten.
#pragma once

#include "services/workbook/cell_grid.h"
#include "services/workbook/shared_strings.h"
#include "services/workbook/sheet_index.h"
#include "services/workbook/workbook.h"
#include "services/workbook/xlsx_package.h"
#include "services/workbook/zip_package.h"

#include <memory>
#include <string>
#include <vector>

namespace iploc::workbook {

struct LoadedSheet {
    std::string xml;
    SheetIndex index;
    CellGrid edits; // written cells, as text; empty text for an emptied cell
};

class XlsxWorkbook : public Workbook {
public:
    // nullptr when the package is not a readable workbook.
    static std::unique_ptr<XlsxWorkbook> Open(std::string fileBytes);

    int SheetCount() const override { return int(layout_.sheets.size()); }
    bool LoadSheet(int index) override;
    std::string ReadCell(int sheet, CellRef cell) const override;
    void WriteCell(int sheet, CellRef cell, std::string_view text) override;
    bool SaveAs(const std::filesystem::path& path) const override;

private:
    XlsxWorkbook(std::unique_ptr<ZipPackageReader> package, PackageLayout layout);
    const LoadedSheet* Loaded(int sheet) const;
    bool LoadSharedStrings();

    std::unique_ptr<ZipPackageReader> package_;
    PackageLayout layout_;
    SharedStrings strings_;
    std::vector<std::unique_ptr<LoadedSheet>> sheets_;
};

} // namespace iploc::workbook
