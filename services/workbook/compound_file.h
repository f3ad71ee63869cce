// Reading one stream out of a compound file (the container of .xls workbooks).
//
// FreeXL reads an .xls file's cells but not the results of its formulas, nor does it tell a
// boolean from a number; for those the workbook stream is read here (xls_formula_values.h).
// Every sector number is checked against the file and every chain against loops, so a
// damaged allocation table ends in nullopt.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace iploc::workbook {

// The stream named `name` (ASCII, compared without regard to case) in the root storage of
// the compound file held in `file`; nullopt when the container is damaged or lacks it.
std::optional<std::string> ReadCompoundStream(std::string_view file, std::string_view name);

} // namespace iploc::workbook
