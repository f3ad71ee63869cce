// A workbook held entirely as values in memory: the new empty workbook, and a workbook read
// from an .xls file. Saving writes a fresh .xlsx with these values.
#pragma once

#include "services/workbook/cell_grid.h"
#include "services/workbook/workbook.h"

#include <string>
#include <vector>

namespace iploc::workbook {

struct ValueSheet {
    std::string name; // UTF-8
    CellGrid cells;
};

class ValueWorkbook : public Workbook {
public:
    explicit ValueWorkbook(std::vector<ValueSheet> sheets) : sheets_(std::move(sheets)) {}

    int SheetCount() const override { return int(sheets_.size()); }
    bool LoadSheet(int index) override { return index >= 0 && index < SheetCount(); }
    std::string ReadCell(int sheet, CellRef cell) const override;
    void WriteCell(int sheet, CellRef cell, std::string_view text) override;
    bool SaveAs(const std::filesystem::path& path) const override;

private:
    std::vector<ValueSheet> sheets_;
};

// The text a spreadsheet shows for a value.
std::string ShownValue(const GridValue& value);
// Writes the sheets, in order, into a new .xlsx file at `path` (replacing any file there only
// once the new one is complete).
bool WriteNewXlsx(const std::vector<ValueSheet>& sheets, const std::filesystem::path& path);

} // namespace iploc::workbook
