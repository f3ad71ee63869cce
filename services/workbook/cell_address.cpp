#include "services/workbook/cell_address.h"

#include <algorithm>

namespace iploc::workbook {
namespace {

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<CellRef> ParseCellAddress(std::string_view address) {
    std::size_t i = 0;
    if (i < address.size() && address[i] == '$') ++i;
    std::uint32_t column = 0;
    std::size_t letters = 0;
    for (; i < address.size() && IsLetter(address[i]); ++i, ++letters) {
        if (letters == 3) return std::nullopt;
        column = column * 26 + std::uint32_t((address[i] | 0x20) - 'a' + 1);
    }
    if (letters == 0) return std::nullopt;
    if (i < address.size() && address[i] == '$') ++i;
    std::uint32_t row = 0;
    std::size_t digits = 0;
    for (; i < address.size() && IsDigit(address[i]); ++i, ++digits) {
        if (digits == 7) return std::nullopt; // more digits than the largest row has
        row = row * 10 + std::uint32_t(address[i] - '0');
    }
    if (digits == 0 || i != address.size() || address[i - digits] == '0') return std::nullopt;
    if (row > kMaxRows || column > kMaxColumns) return std::nullopt;
    return CellRef{row, column};
}

std::string ColumnLetters(std::uint32_t column) {
    std::string letters;
    while (column > 0) {
        --column;
        letters.insert(letters.begin(), char('A' + column % 26));
        column /= 26;
    }
    return letters;
}

std::string CellAddress(CellRef cell) {
    return ColumnLetters(cell.column) + std::to_string(cell.row);
}

CellRange RangeBetween(CellRef a, CellRef b) {
    return {{std::min(a.row, b.row), std::min(a.column, b.column)},
            {std::max(a.row, b.row), std::max(a.column, b.column)}};
}

std::string RangeAddress(const CellRange& range) {
    if (range.first == range.last) return CellAddress(range.first);
    return CellAddress(range.first) + ":" + CellAddress(range.last);
}

std::optional<CellRange> ParseRangeAddress(std::string_view text) {
    const std::size_t colon = text.find(':');
    auto first = ParseCellAddress(text.substr(0, colon));
    if (!first) return std::nullopt;
    if (colon == std::string_view::npos) return CellRange{*first, *first};
    auto last = ParseCellAddress(text.substr(colon + 1));
    if (!last) return std::nullopt;
    return RangeBetween(*first, *last);
}

} // namespace iploc::workbook
