// Cell addresses of a sheet: "A1" to "XFD1048576", with optional "$" markers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace iploc::workbook {

inline constexpr std::uint32_t kMaxRows = 1048576;
inline constexpr std::uint32_t kMaxColumns = 16384;

// A cell position, both 1-based.
struct CellRef {
    std::uint32_t row = 0;
    std::uint32_t column = 0;
    friend bool operator==(const CellRef&, const CellRef&) = default;
};

// A rectangle of cells; `first` is the top-left corner, `last` the bottom-right one.
struct CellRange {
    CellRef first;
    CellRef last;
    std::uint64_t CellCount() const {
        return std::uint64_t(last.row - first.row + 1) * (last.column - first.column + 1);
    }
};

// One number per cell, for hash maps.
inline std::uint64_t CellKey(CellRef cell) {
    return (std::uint64_t(cell.row) << 16) | cell.column;
}

// "A12", "$a$12" and the like; nullopt for anything else and for positions beyond the
// sheet's limits (the digits are never allowed to overflow).
std::optional<CellRef> ParseCellAddress(std::string_view address);
// The column's letters: 1 gives "A", 28 gives "AB".
std::string ColumnLetters(std::uint32_t column);
// "B7" for row 7, column 2.
std::string CellAddress(CellRef cell);
// The rectangle spanned by two corners in any order.
CellRange RangeBetween(CellRef a, CellRef b);
// "A1:F3", or "A1" for a single cell.
std::string RangeAddress(const CellRange& range);
// "A1:F3" or "B2"; nullopt when either corner is not a cell address.
std::optional<CellRange> ParseRangeAddress(std::string_view text);

} // namespace iploc::workbook
