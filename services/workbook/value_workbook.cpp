#include "services/workbook/value_workbook.h"

#include "services/workbook/number_text.h"

namespace iploc::workbook {

std::string ShownValue(const GridValue& value) {
    switch (value.kind) {
    case GridValue::Kind::Number:
        return ShownNumber(value.number);
    case GridValue::Kind::Boolean:
        return value.number != 0 ? "TRUE" : "FALSE";
    default:
        return value.text;
    }
}

std::string ValueWorkbook::ReadCell(int sheet, CellRef cell) const {
    if (sheet < 0 || sheet >= SheetCount()) return {};
    const GridValue* value = sheets_[std::size_t(sheet)].cells.Find(cell);
    return value ? ShownValue(*value) : std::string();
}

void ValueWorkbook::WriteCell(int sheet, CellRef cell, std::string_view text) {
    if (sheet < 0 || sheet >= SheetCount()) return;
    sheets_[std::size_t(sheet)].cells.Set(cell, {GridValue::Kind::Text, std::string(text), 0});
}

bool ValueWorkbook::SaveAs(const std::filesystem::path& path) const {
    return WriteNewXlsx(sheets_, path);
}

std::unique_ptr<Workbook> NewEmptyWorkbook() {
    std::vector<ValueSheet> sheets(1);
    sheets[0].name = "Sheet1";
    return std::make_unique<ValueWorkbook>(std::move(sheets));
}

} // namespace iploc::workbook
