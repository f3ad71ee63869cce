// Writes a workbook of plain values into a new .xlsx file with libxlsxwriter.
#include "services/workbook/value_workbook.h"

#include <cmath>
#include <random>
#include <system_error>
#include <xlsxwriter.h>

namespace iploc::workbook {
namespace {

struct WorkbookCloser {
    void operator()(lxw_workbook* workbook) const { workbook_close(workbook); }
};
using WorkbookPtr = std::unique_ptr<lxw_workbook, WorkbookCloser>;

// A sheet name the format accepts: the given one when valid, else "Sheet<n>".
lxw_worksheet* AddSheet(lxw_workbook* workbook, const std::string& name, std::size_t position) {
    if (!name.empty() && workbook_validate_sheet_name(workbook, name.c_str()) == LXW_NO_ERROR)
        if (lxw_worksheet* sheet = workbook_add_worksheet(workbook, name.c_str())) return sheet;
    for (std::size_t n = position + 1;; ++n) {
        const std::string fallback = "Sheet" + std::to_string(n);
        if (workbook_validate_sheet_name(workbook, fallback.c_str()) == LXW_NO_ERROR)
            return workbook_add_worksheet(workbook, fallback.c_str());
    }
}

lxw_error WriteValue(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t col, const GridValue& value) {
    switch (value.kind) {
    case GridValue::Kind::Number:
        // A damaged .xls can hold NaN or infinity, which no spreadsheet file may: written as the error.
        if (!std::isfinite(value.number)) return worksheet_write_string(sheet, row, col, "#NUM!", nullptr);
        return worksheet_write_number(sheet, row, col, value.number, nullptr);
    case GridValue::Kind::Boolean:
        return worksheet_write_boolean(sheet, row, col, value.number != 0, nullptr);
    default:
        if (value.text.empty()) return LXW_NO_ERROR; // an emptied cell
        return worksheet_write_string(sheet, row, col, value.text.c_str(), nullptr);
    }
}

bool WriteSheet(lxw_worksheet* sheet, const CellGrid& cells) {
    for (std::uint32_t row = 1; row < cells.RowLimit(); ++row)
        for (const GridCell& cell : cells.Row(row))
            if (WriteValue(sheet, lxw_row_t(row - 1), lxw_col_t(cell.column - 1), cell.value) != LXW_NO_ERROR)
                return false;
    return true;
}

std::filesystem::path TemporaryBeside(const std::filesystem::path& path) {
    std::random_device random;
    return path.parent_path() / ("." + path.filename().string() + "." + std::to_string(random()) + ".part");
}

} // namespace

bool WriteNewXlsx(const std::vector<ValueSheet>& sheets, const std::filesystem::path& path) {
    const std::filesystem::path temporary = TemporaryBeside(path);
    bool written = false;
    {
        WorkbookPtr workbook(workbook_new(temporary.c_str()));
        if (!workbook) return false;
        written = true;
        for (std::size_t i = 0; i < sheets.size() && written; ++i) {
            lxw_worksheet* sheet = AddSheet(workbook.get(), sheets[i].name, i);
            written = sheet && WriteSheet(sheet, sheets[i].cells);
        }
        written = workbook_close(workbook.release()) == LXW_NO_ERROR && written;
    }
    std::error_code error;
    if (written) {
        std::filesystem::rename(temporary, path, error);
        if (!error) return true;
    }
    std::filesystem::remove(temporary, error);
    return false;
}

} // namespace iploc::workbook
