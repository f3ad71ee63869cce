// Reading the values of an .xls (BIFF in a compound file) workbook through FreeXL.
#pragma once

#include "services/workbook/value_workbook.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace iploc::workbook {

// Every sheet of the workbook with its values, in the workbook's order; nullopt when the
// file cannot be read as an .xls workbook.
std::optional<std::vector<ValueSheet>> ReadXlsSheets(const std::filesystem::path& path);

} // namespace iploc::workbook
