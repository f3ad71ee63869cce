// Workbooks for tests, written and read by Debian's python3-openpyxl (an independent
// implementation of the format).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace iploc::test {

// Writes an .xlsx whose first sheet holds `column` in A1, A2, ... (UTF-8 text; nullopt
// leaves the cell empty). `extra` adds cells by address ("C2" -> text), kept as they are.
void WriteColumnA(const std::filesystem::path& path, const std::vector<std::optional<std::string>>& column,
                  const std::vector<std::pair<std::string, std::string>>& extra = {});

// The first sheet's rows 1..max_row, columns A..F, as UTF-8 text ("" for an empty cell).
std::vector<std::vector<std::string>> ReadRows(const std::filesystem::path& path);

// The value of one cell of the first sheet ("" for an empty cell).
std::string ReadCell(const std::filesystem::path& path, const std::string& cell);

} // namespace iploc::test
