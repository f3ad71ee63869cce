// An index of a worksheet's XML text: where each row and cell element lies.
//
// The text itself stays as it was read; the index holds 16 bytes per cell and a few words per
// row, so a sheet of a million rows is indexed in one pass without a document tree, a cell
// is found in constant time (a row table, then a search among that row's cells), and saving
// copies every untouched row as the very bytes it was read from.
#pragma once

#include "services/workbook/cell_address.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace iploc::workbook {

class XmlScanner;

// Byte span [begin, end) in the sheet text.
struct Span {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    std::uint64_t size() const { return end - begin; }
};

struct IndexedCell {
    std::uint64_t begin = 0; // "<c" of the element
    std::uint32_t length = 0;
    std::uint16_t column = 0;
    std::uint8_t flags = 0;
    std::uint8_t typeCode = 0; // index of the t attribute in kCellTypes (0: none or unknown)
    // Where the text of its one <v> lies, from `begin`, when kValueSpan is set: reading such a
    // cell then needs no second parse.
    std::uint16_t valueOffset = 0;
    std::uint16_t valueLength = 0;

    static constexpr std::uint8_t kHasFormula = 1;
    static constexpr std::uint8_t kSharedFormulaMaster = 2; // <f t="shared" ref="...">
    static constexpr std::uint8_t kArrayFormulaMaster = 4;  // <f t="array" ref="...">
    static constexpr std::uint8_t kValueSpan = 8;
    static constexpr std::uint8_t kNoValueSpan = 16; // a value the span cannot stand for (CDATA, two <v>)
};

// The cell types the index knows by code; a code past the end means another type.
inline constexpr std::string_view kCellTypes[] = {"", "n", "s", "str", "b", "e", "d"};

struct IndexedRow {
    Span element;    // the whole <row> element
    Span content;    // between its start and end tags; empty for <row/>
    Span spansValue; // value of the spans attribute; empty when it has none
    std::uint32_t row = 0;
    std::uint32_t firstCell = 0; // its cells are cells()[firstCell, firstCell + cellCount), by column
    std::uint32_t cellCount = 0;
    bool hasSpans = false;
    bool emptyElement = false;
};

class SheetIndex {
public:
    // Indexes `xml`; false when it is not a well-formed worksheet (no sheetData, a cell
    // address out of the sheet's limits, a row or cell given twice, a cell in the wrong row).
    bool Build(std::string_view xml);

    // The cell at `cell`; nullptr when the sheet has no element for it.
    const IndexedCell* Find(CellRef cell) const;
    // Rows by ascending row number.
    const std::vector<IndexedRow>& Rows() const { return rows_; }
    const std::vector<IndexedCell>& Cells() const { return cells_; }
    const IndexedRow* FindRow(std::uint32_t row) const;

    // The namespace prefix the sheet uses for its elements ("" or e.g. "x").
    std::string_view ElementPrefix() const { return prefix_; }
    Span SheetDataElement() const { return sheetData_; }
    Span SheetDataContent() const { return sheetDataContent_; }
    bool SheetDataIsEmptyElement() const { return sheetDataEmpty_; }
    // Cells holding the formula of an array formula (which covers a range of cells).
    const std::vector<CellRef>& ArrayFormulaCells() const { return arrayFormulas_; }
    // The value of <dimension ref="...">, when the sheet has one.
    std::optional<Span> DimensionValue() const { return dimension_; }

private:
    bool StartElement(XmlScanner& scanner);
    bool EndElement(XmlScanner& scanner);
    void ReserveFromDimension(const XmlScanner& scanner);
    bool StartRow(XmlScanner& scanner);
    bool StartCell(XmlScanner& scanner);
    void StartCellChild(XmlScanner& scanner, std::string_view name);
    bool Finish();

    std::vector<IndexedRow> rows_;
    std::vector<IndexedCell> cells_;
    std::vector<std::uint32_t> rowSlots_;
    std::vector<CellRef> arrayFormulas_; // row number -> position in rows_ + 1; 0 = none
    std::string_view prefix_;
    Span sheetData_, sheetDataContent_;
    bool sheetDataEmpty_ = false;
    bool sawSheetData_ = false;
    bool inSheetData_ = false;
    bool inRow_ = false;
    bool inCell_ = false;
    bool inValue_ = false;
    std::optional<Span> dimension_;
};

} // namespace iploc::workbook
