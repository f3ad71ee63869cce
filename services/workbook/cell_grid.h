// Cell values held in memory, one small sorted list per row and a table of rows, so that
// setting or finding a cell costs constant time for the column-by-column, row-by-row work
// of the batch and export runs.
#pragma once

#include "services/workbook/cell_address.h"

#include <cstdint>
#include <string>
#include <vector>

namespace iploc::workbook {

struct GridValue {
    enum class Kind : std::uint8_t { Text, Number, Boolean, Error };
    Kind kind = Kind::Text;
    std::string text;  // UTF-8; for Error the error code such as "#N/A"
    double number = 0; // Number; Boolean as 0 or 1
};

struct GridCell {
    std::uint32_t column = 0;
    GridValue value;
};

class CellGrid {
public:
    void Set(CellRef cell, GridValue value);
    const GridValue* Find(CellRef cell) const;
    // Rows 1 .. RowLimit() - 1 may hold cells.
    std::uint32_t RowLimit() const { return std::uint32_t(rows_.size()); }
    // The cells of `row` by ascending column (empty for rows past the limit).
    const std::vector<GridCell>& Row(std::uint32_t row) const;
    bool IsEmpty() const { return count_ == 0; }

private:
    std::vector<std::vector<GridCell>> rows_;
    std::size_t count_ = 0;
};

} // namespace iploc::workbook
