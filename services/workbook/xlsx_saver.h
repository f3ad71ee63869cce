// Saving an .xlsx workbook under a new name: the package is copied entry by entry, and only
// the sheets that have written cells are rewritten (see sheet_patcher.h).
#pragma once

#include "services/workbook/xlsx_package.h"
#include "services/workbook/zip_package.h"

#include <filesystem>
#include <vector>

namespace iploc::workbook {

struct LoadedSheet;

// `sheets` follows layout.sheets; an entry is nullptr for a sheet never loaded.
bool SaveXlsxPackage(const ZipPackageReader& package, const PackageLayout& layout,
                     const std::vector<const LoadedSheet*>& sheets, const std::filesystem::path& path);

} // namespace iploc::workbook
