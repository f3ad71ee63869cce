// What FreeXL leaves out of an .xls workbook: the stored results of formulas, and which
// cells hold booleans and error codes. Read from the BIFF8 records of the workbook stream.
#pragma once

#include "services/workbook/cell_address.h"
#include "services/workbook/cell_grid.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace iploc::workbook {

struct RecordValue {
    CellRef cell;
    GridValue value;
};

// For each worksheet, by its name (UTF-8): the cells holding a formula result, a boolean or
// an error code. Empty for a stream that is not BIFF8 (older files keep what FreeXL reads).
std::map<std::string, std::vector<RecordValue>> ReadFormulaAndBooleanValues(std::string_view workbookStream);

} // namespace iploc::workbook
