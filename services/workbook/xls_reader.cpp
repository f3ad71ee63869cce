#include "services/workbook/xls_reader.h"

#include "services/workbook/compound_file.h"
#include "services/workbook/xls_formula_values.h"

#include <freexl.h>
#include <fstream>
#include <iterator>
#include <memory>

namespace iploc::workbook {
namespace {

struct XlsCloser {
    void operator()(const void* handle) const { freexl_close(handle); }
};
using XlsPtr = std::unique_ptr<const void, XlsCloser>;

std::optional<GridValue> ValueOf(const FreeXL_CellValue& cell) {
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return GridValue{GridValue::Kind::Number, {}, double(cell.value.int_value)};
    case FREEXL_CELL_DOUBLE:
        return GridValue{GridValue::Kind::Number, {}, cell.value.double_value};
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        if (cell.value.text_value == nullptr) return std::nullopt;
        return GridValue{GridValue::Kind::Text, cell.value.text_value, 0};
    default:
        return std::nullopt;
    }
}

bool ReadSheet(const void* handle, unsigned index, ValueSheet& sheet) {
    const char* name = nullptr;
    if (freexl_get_worksheet_name(handle, static_cast<unsigned short>(index), &name) != FREEXL_OK ||
        freexl_select_active_worksheet(handle, static_cast<unsigned short>(index)) != FREEXL_OK)
        return false;
    sheet.name = name ? name : "";
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) return false;
    for (unsigned int row = 0; row < rows && row < kMaxRows; ++row) {
        for (unsigned short column = 0; column < columns; ++column) {
            FreeXL_CellValue cell;
            if (freexl_get_cell_value(handle, row, column, &cell) != FREEXL_OK) return false;
            if (auto value = ValueOf(cell)) sheet.cells.Set({row + 1, column + 1u}, std::move(*value));
        }
    }
    return true;
}

// Adds what FreeXL does not read: formula results, booleans and error codes.
void AddFormulaAndBooleanValues(const std::filesystem::path& path, std::vector<ValueSheet>& sheets) {
    std::ifstream in(path, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto stream = ReadCompoundStream(file, "Workbook");
    if (!stream) return;
    auto values = ReadFormulaAndBooleanValues(*stream);
    for (ValueSheet& sheet : sheets) {
        auto found = values.find(sheet.name);
        if (found == values.end()) continue;
        for (RecordValue& record : found->second)
            sheet.cells.Set(record.cell, std::move(record.value));
    }
}

} // namespace

std::optional<std::vector<ValueSheet>> ReadXlsSheets(const std::filesystem::path& path) {
    const void* raw = nullptr;
    if (freexl_open(path.c_str(), &raw) != FREEXL_OK || raw == nullptr) return std::nullopt;
    XlsPtr handle(raw);
    unsigned int count = 0;
    if (freexl_get_info(raw, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count == 0) return std::nullopt;
    std::vector<ValueSheet> sheets(count);
    for (unsigned i = 0; i < count; ++i)
        if (!ReadSheet(raw, i, sheets[i])) return std::nullopt;
    AddFormulaAndBooleanValues(path, sheets);
    return sheets;
}

} // namespace iploc::workbook
