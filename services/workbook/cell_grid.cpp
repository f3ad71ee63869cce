#include "services/workbook/cell_grid.h"

#include <algorithm>

namespace iploc::workbook {

void CellGrid::Set(CellRef cell, GridValue value) {
    if (cell.row >= rows_.size()) rows_.resize(std::size_t(cell.row) + 1);
    std::vector<GridCell>& row = rows_[cell.row];
    if (row.empty()) row.reserve(4); // rows are written a few cells at a time
    if (row.empty() || row.back().column < cell.column) {
        row.push_back({cell.column, std::move(value)});
        ++count_;
        return;
    }
    auto it = std::lower_bound(row.begin(), row.end(), cell.column,
                               [](const GridCell& c, std::uint32_t column) { return c.column < column; });
    if (it != row.end() && it->column == cell.column) {
        it->value = std::move(value);
    } else {
        row.insert(it, {cell.column, std::move(value)});
        ++count_;
    }
}

const GridValue* CellGrid::Find(CellRef cell) const {
    if (cell.row >= rows_.size()) return nullptr;
    const std::vector<GridCell>& row = rows_[cell.row];
    auto it = std::lower_bound(row.begin(), row.end(), cell.column,
                               [](const GridCell& c, std::uint32_t column) { return c.column < column; });
    return it != row.end() && it->column == cell.column ? &it->value : nullptr;
}

const std::vector<GridCell>& CellGrid::Row(std::uint32_t row) const {
    static const std::vector<GridCell> kNone;
    return row < rows_.size() ? rows_[row] : kNone;
}

} // namespace iploc::workbook
