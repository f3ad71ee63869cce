#include "services/workbook/sheet_index.h"

#include "services/workbook/xml_scanner.h"

#include <algorithm>
#include <charconv>

namespace iploc::workbook {
namespace {

// Element depths (the root counts 1).
constexpr std::size_t kSheetDataDepth = 2;
constexpr std::size_t kRowDepth = 3;
constexpr std::size_t kCellDepth = 4;
constexpr std::size_t kCellChildDepth = 5;

std::optional<std::uint32_t> ParseRowNumber(std::string_view text) {
    std::uint32_t row = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), row);
    if (ec != std::errc() || ptr != text.data() + text.size() || row == 0 || row > kMaxRows)
        return std::nullopt;
    return row;
}

} // namespace

bool SheetIndex::Build(std::string_view xml) {
    *this = SheetIndex();
    XmlScanner scanner(xml);
    while (true) {
        switch (scanner.Next()) {
        case XmlScanner::Token::StartElement:
            if (!StartElement(scanner)) return false;
            break;
        case XmlScanner::Token::EndElement:
            if (!EndElement(scanner)) return false;
            break;
        case XmlScanner::Token::Text:
            if (inValue_ && scanner.IsCData()) cells_.back().flags |= IndexedCell::kNoValueSpan;
            break;
        case XmlScanner::Token::End:
            return sawSheetData_ && Finish();
        case XmlScanner::Token::Error:
            return false;
        }
    }
}

bool SheetIndex::StartElement(XmlScanner& scanner) {
    const std::string_view name = scanner.LocalName();
    const std::size_t depth = scanner.Depth();
    if (inValue_) cells_.back().flags |= IndexedCell::kNoValueSpan; // markup inside <v>
    if (depth == kSheetDataDepth && name == "dimension") {
        if (const XmlAttribute* ref = scanner.FindAttribute("ref"))
            dimension_ = Span{ref->valueOffset, ref->valueOffset + ref->rawValue.size()};
    } else if (depth == kSheetDataDepth && name == "sheetData") {
        if (sawSheetData_) return false;
        sawSheetData_ = inSheetData_ = true;
        prefix_ = scanner.Prefix();
        sheetData_.begin = scanner.TokenBegin();
        sheetDataContent_ = {scanner.TokenEnd(), scanner.TokenEnd()};
        sheetDataEmpty_ = scanner.IsEmptyElement();
        ReserveFromDimension(scanner);
    } else if (depth == kRowDepth && inSheetData_ && name == "row") {
        return StartRow(scanner);
    } else if (depth == kCellDepth && inRow_ && name == "c") {
        return StartCell(scanner);
    } else if (depth == kCellChildDepth && inCell_) {
        StartCellChild(scanner, name);
    }
    return true;
}

// <v>: where its text lies; <f>: what kind of formula the cell holds.
void SheetIndex::StartCellChild(XmlScanner& scanner, std::string_view name) {
    IndexedCell& cell = cells_.back();
    if (name == "v") {
        if (cell.flags & IndexedCell::kValueSpan) cell.flags |= IndexedCell::kNoValueSpan;
        const std::uint64_t offset = scanner.TokenEnd() - cell.begin;
        cell.flags |= IndexedCell::kValueSpan;
        cell.valueOffset = std::uint16_t(offset);
        if (offset > UINT16_MAX) cell.flags |= IndexedCell::kNoValueSpan;
        inValue_ = !scanner.IsEmptyElement();
    } else if (name == "f") {
        cell.flags |= IndexedCell::kHasFormula;
        const std::string type = scanner.AttributeValue("t");
        if (type == "shared" && scanner.FindAttribute("ref")) cell.flags |= IndexedCell::kSharedFormulaMaster;
        if (type == "array" && scanner.FindAttribute("ref")) {
            cell.flags |= IndexedCell::kArrayFormulaMaster;
            arrayFormulas_.push_back({rows_.back().row, cell.column});
        }
    }
}

// The dimension, when it precedes sheetData, tells how many rows to expect: reserving them
// saves the row table from growing step by step on big sheets.
void SheetIndex::ReserveFromDimension(const XmlScanner& scanner) {
    if (!dimension_) return;
    const std::string_view document = scanner.Document();
    auto range = ParseRangeAddress(document.substr(dimension_->begin, dimension_->size()));
    if (range) rows_.reserve(range->last.row - range->first.row + 1);
}

bool SheetIndex::StartRow(XmlScanner& scanner) {
    IndexedRow row;
    const std::uint32_t previous = rows_.empty() ? 0 : rows_.back().row;
    if (const XmlAttribute* r = scanner.FindAttribute("r")) {
        auto number = ParseRowNumber(r->rawValue);
        if (!number) return false;
        row.row = *number;
    } else {
        if (previous >= kMaxRows) return false;
        row.row = previous + 1;
    }
    if (const XmlAttribute* spans = scanner.FindAttribute("spans")) {
        row.hasSpans = true;
        row.spansValue = {spans->valueOffset, spans->valueOffset + spans->rawValue.size()};
    }
    row.element.begin = scanner.TokenBegin();
    row.content = {scanner.TokenEnd(), scanner.TokenEnd()};
    row.emptyElement = scanner.IsEmptyElement();
    row.firstCell = std::uint32_t(cells_.size());
    rows_.push_back(row);
    inRow_ = true;
    return true;
}

bool SheetIndex::StartCell(XmlScanner& scanner) {
    IndexedRow& row = rows_.back();
    IndexedCell cell;
    const std::uint32_t previous = row.cellCount == 0 ? 0 : cells_.back().column;
    if (const XmlAttribute* r = scanner.FindAttribute("r")) {
        auto ref = ParseCellAddress(r->rawValue);
        if (!ref || ref->row != row.row) return false;
        cell.column = std::uint16_t(ref->column);
    } else {
        if (previous >= kMaxColumns) return false;
        cell.column = std::uint16_t(previous + 1);
    }
    cell.begin = scanner.TokenBegin();
    const XmlAttribute* t = scanner.FindAttribute("t");
    const std::string type = !t                                          ? ""
                             : t->rawValue.find('&') == t->rawValue.npos ? std::string(t->rawValue)
                                                                         : scanner.AttributeValue("t");
    cell.typeCode =
        std::uint8_t(std::find(std::begin(kCellTypes), std::end(kCellTypes), type) - std::begin(kCellTypes));
    if (cells_.size() >= UINT32_MAX) return false;
    cells_.push_back(cell);
    ++row.cellCount;
    inCell_ = true;
    return true;
}

bool SheetIndex::EndElement(XmlScanner& scanner) {
    const std::size_t depth = scanner.Depth(); // after leaving the element
    if (inValue_ && depth == kCellChildDepth - 1) {
        IndexedCell& cell = cells_.back();
        const std::uint64_t length = scanner.TokenBegin() - cell.begin - cell.valueOffset;
        if (length > UINT16_MAX) cell.flags |= IndexedCell::kNoValueSpan;
        cell.valueLength = std::uint16_t(length);
        inValue_ = false;
    } else if (inCell_ && depth == kCellDepth - 1) {
        const std::uint64_t length = scanner.TokenEnd() - cells_.back().begin;
        if (length > UINT32_MAX) return false;
        cells_.back().length = std::uint32_t(length);
        inCell_ = false;
    } else if (inRow_ && depth == kRowDepth - 1) {
        IndexedRow& row = rows_.back();
        if (!row.emptyElement) row.content.end = scanner.TokenBegin();
        row.element.end = scanner.TokenEnd();
        inRow_ = false;
    } else if (inSheetData_ && depth == kSheetDataDepth - 1) {
        if (!sheetDataEmpty_) sheetDataContent_.end = scanner.TokenBegin();
        sheetData_.end = scanner.TokenEnd();
        inSheetData_ = false;
    }
    return true;
}

// Puts rows and each row's cells in order, rejects repeats and builds the row table.
bool SheetIndex::Finish() {
    if (!std::is_sorted(rows_.begin(), rows_.end(), [](auto& a, auto& b) { return a.row < b.row; }))
        std::stable_sort(rows_.begin(), rows_.end(), [](auto& a, auto& b) { return a.row < b.row; });
    const std::uint32_t maxRow = rows_.empty() ? 0 : rows_.back().row;
    rowSlots_.assign(std::size_t(maxRow) + 1, 0);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        IndexedRow& row = rows_[i];
        if (rowSlots_[row.row] != 0) return false;
        rowSlots_[row.row] = std::uint32_t(i + 1);
        auto first = cells_.begin() + row.firstCell, last = first + row.cellCount;
        auto byColumn = [](const IndexedCell& a, const IndexedCell& b) { return a.column < b.column; };
        if (!std::is_sorted(first, last, byColumn)) std::stable_sort(first, last, byColumn);
        if (std::adjacent_find(first, last, [](auto& a, auto& b) { return a.column == b.column; }) != last)
            return false;
    }
    return true;
}

const IndexedRow* SheetIndex::FindRow(std::uint32_t row) const {
    if (row >= rowSlots_.size() || rowSlots_[row] == 0) return nullptr;
    return &rows_[rowSlots_[row] - 1];
}

const IndexedCell* SheetIndex::Find(CellRef cell) const {
    const IndexedRow* row = FindRow(cell.row);
    if (row == nullptr) return nullptr;
    auto first = cells_.begin() + row->firstCell, last = first + row->cellCount;
    auto it = std::lower_bound(first, last, cell.column,
                               [](const IndexedCell& c, std::uint32_t column) { return c.column < column; });
    return it != last && it->column == cell.column ? &*it : nullptr;
}

} // namespace iploc::workbook
