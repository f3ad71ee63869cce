// Keeping tables (list objects) valid when cells of their header row are written.
//
// A spreadsheet requires a table's header cells to hold the names of its columns, which are
// unique within the table, and repairs the file otherwise. When a header cell is written, the
// column takes the written text as its name, as it does when one types into a header cell;
// an empty or repeated name becomes "Column<n>" or gets a number appended, and the cell then
// holds that name.
#pragma once

#include "services/workbook/cell_grid.h"
#include "services/workbook/zip_package.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>

namespace iploc::workbook {

struct TableHeaderChanges {
    std::map<std::string, std::string> tableParts;            // entry -> new XML
    std::unordered_map<std::uint64_t, std::string> cellTexts; // header cells whose text had to change
};

// The table parts of the sheet at `sheetEntry` whose header row has written cells, renamed;
// nullopt when a table part is unreadable.
std::optional<TableHeaderChanges> RenameWrittenTableColumns(const ZipPackageReader& package,
                                                            const std::string& sheetEntry,
                                                            const CellGrid& edits);

} // namespace iploc::workbook
