// Rewriting a worksheet's XML with the cells written into it.
//
// Untouched rows are copied byte for byte. A row with written cells gets them in column
// order among its other cells, keeps its attributes and gets its spans widened; new rows go
// in row order. A written cell keeps its style and holds an inline string. The dimension
// grows to cover the written cells. When a written cell held the master formula of a shared
// formula, the cells sharing it get their own formula first, so none is left without one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace iploc::workbook {

struct LoadedSheet;
class SharedStrings;

struct PatchedSheet {
    std::string xml;
    bool replacedFormula = false; // a written cell held a formula (the calculation chain is stale)
};

// nullopt when the sheet's own text turns out malformed where it must be rewritten.
// `textOverrides` (cell key, see table_headers.h) replaces the written text of a few cells.
std::optional<PatchedSheet>
PatchSheet(const LoadedSheet& sheet,
           const std::unordered_map<std::uint64_t, std::string>& textOverrides = {});

} // namespace iploc::workbook
