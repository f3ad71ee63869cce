#include "services/workbook/sheet_patcher.h"

#include "services/workbook/cell_xml.h"
#include "services/workbook/formula_shift.h"
#include "services/workbook/ooxml_text.h"
#include "services/workbook/xlsx_workbook.h"
#include "services/workbook/xml_scanner.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>
#include <unordered_set>

namespace iploc::workbook {
namespace {

// The cell element with its <f> element replaced by one holding `formula` in full, or left out
// when there is no formula.
std::optional<std::string> WithFormula(std::string_view cellXml, const std::optional<std::string>& formula) {
    XmlScanner scanner(cellXml);
    std::size_t begin = 0;
    std::string name;
    while (true) {
        const XmlScanner::Token token = scanner.Next();
        if (token == XmlScanner::Token::Error || token == XmlScanner::Token::End) return std::nullopt;
        if (token == XmlScanner::Token::StartElement && scanner.Depth() == 2 && scanner.LocalName() == "f") {
            begin = scanner.TokenBegin();
            name = scanner.QualifiedName();
        } else if (token == XmlScanner::Token::EndElement && scanner.Depth() == 1 && !name.empty()) {
            std::string out(cellXml.substr(0, begin));
            if (formula) {
                out += "<" + name + ">";
                AppendEscapedXml(*formula, out);
                out += "</" + name + ">";
            }
            out.append(cellXml.substr(scanner.TokenEnd()));
            return out;
        }
    }
}

// The lowest and highest column of a spans value such as "1:5" or "1:3 7:9".
std::optional<std::pair<std::uint32_t, std::uint32_t>> ParseSpans(std::string_view spans) {
    std::uint32_t low = UINT32_MAX, high = 0;
    const char* p = spans.data();
    const char* end = p + spans.size();
    while (p < end) {
        std::uint32_t number = 0;
        auto [next, ec] = std::from_chars(p, end, number);
        if (ec != std::errc()) return std::nullopt;
        low = std::min(low, number);
        high = std::max(high, number);
        p = next;
        if (p < end && (*p == ':' || *p == ' ')) ++p;
    }
    if (high == 0) return std::nullopt;
    return std::make_pair(low, high);
}

std::optional<CellRange> Widened(std::optional<CellRange> box, CellRef cell) {
    if (!box) return CellRange{cell, cell};
    box->first = {std::min(box->first.row, cell.row), std::min(box->first.column, cell.column)};
    box->last = {std::max(box->last.row, cell.row), std::max(box->last.column, cell.column)};
    return box;
}

class Patcher {
public:
    Patcher(const LoadedSheet& sheet, const std::unordered_map<std::uint64_t, std::string>& overrides)
        : overrides_(overrides), xml_(sheet.xml), index_(sheet.index), edits_(sheet.edits),
          prefix_(index_.ElementPrefix().empty() ? "" : std::string(index_.ElementPrefix()) + ":") {}

    std::optional<PatchedSheet> Run();

private:
    bool KeepSharedFormulas(CellRef master, const IndexedCell& cell);
    bool KeepAllSharedFormulas();
    bool ReleaseArrayFormulas();
    bool HasEditWithin(const CellRange& range) const;
    void EmitHead();
    void EmitRows();
    void EmitExistingRow(const IndexedRow& row);
    void EmitNewRow(std::uint32_t row);
    void EmitWrittenCell(CellRef cell, const GridValue& value, const IndexedCell* original);
    void EmitKeptCell(std::string_view element, CellRef cell);
    void Open(std::string_view name);
    void Close(std::string_view name);
    XmlScanner& StartTagScanner(std::string_view element);
    std::string RowStartTag(const IndexedRow& row) const;
    std::uint32_t NextEditedRow(std::uint32_t after) const;
    std::string_view Slice(std::uint64_t begin, std::uint64_t end) const {
        return xml_.substr(begin, end - begin);
    }

    const std::unordered_map<std::uint64_t, std::string>& overrides_;
    std::string_view xml_;
    const SheetIndex& index_;
    const CellGrid& edits_;
    std::string prefix_; // "x:" when the sheet's elements carry a prefix
    std::string out_;
    bool replacedFormula_ = false;
    std::unordered_map<std::uint64_t, std::string> replacements_; // cells given their own formula
    std::unordered_set<std::uint32_t> replacementRows_;
    XmlScanner tagScanner_;
};

std::optional<PatchedSheet> Patcher::Run() {
    if (!KeepAllSharedFormulas() || !ReleaseArrayFormulas()) return std::nullopt;
    std::size_t written = 0;
    for (std::uint32_t row = 1; row < edits_.RowLimit(); ++row)
        for (const GridCell& cell : edits_.Row(row))
            written += cell.value.text.size() + 64;
    out_.reserve(xml_.size() + written);
    EmitHead();
    EmitRows();
    if (index_.SheetDataIsEmptyElement())
        out_ += "</" + prefix_ + "sheetData>";
    else
        out_.append(Slice(index_.SheetDataContent().end, index_.SheetDataElement().end));
    out_.append(xml_.substr(index_.SheetDataElement().end));
    return PatchedSheet{std::move(out_), replacedFormula_};
}

// Written cells that held a formula: note it, and give the cells that share a master
// formula being overwritten their own copy of it.
bool Patcher::KeepAllSharedFormulas() {
    for (std::uint32_t row = 1; row < edits_.RowLimit(); ++row) {
        for (const GridCell& written : edits_.Row(row)) {
            const CellRef ref{row, written.column};
            const IndexedCell* cell = index_.Find(ref);
            if (!cell || !(cell->flags & IndexedCell::kHasFormula)) continue;
            replacedFormula_ = true;
            if ((cell->flags & IndexedCell::kSharedFormulaMaster) && !KeepSharedFormulas(ref, *cell))
                return false;
        }
    }
    return true;
}

bool Patcher::KeepSharedFormulas(CellRef master, const IndexedCell& cell) {
    CellXml content;
    if (!ReadCellXml(Slice(cell.begin, cell.begin + cell.length), content)) return false;
    const auto range = ParseRangeAddress(content.formulaRef);
    if (!range) return true; // a shared formula without a valid range shares nothing
    for (std::uint32_t r = range->first.row; r <= range->last.row; ++r) {
        const IndexedRow* row = index_.FindRow(r);
        if (!row) continue;
        for (std::uint32_t i = row->firstCell; i < row->firstCell + row->cellCount; ++i) {
            const IndexedCell& other = index_.Cells()[i];
            const CellRef ref{r, other.column};
            if (other.column < range->first.column || other.column > range->last.column) continue;
            if (ref == master || !(other.flags & IndexedCell::kHasFormula) || edits_.Find(ref)) continue;
            const std::string_view otherXml = Slice(other.begin, other.begin + other.length);
            CellXml shared;
            if (!ReadCellXml(otherXml, shared)) return false;
            if (shared.formulaType != "shared" || shared.sharedIndex != content.sharedIndex) continue;
            const std::string formula = ShiftFormula(content.formula, long(r) - long(master.row),
                                                     long(other.column) - long(master.column));
            auto replaced = WithFormula(otherXml, formula);
            if (!replaced) return false;
            replacements_[CellKey(ref)] = std::move(*replaced);
            replacementRows_.insert(r);
        }
    }
    return true;
}

// A spreadsheet refuses to change part of an array formula. So that a write into such a range
// lands all the same, the array formula is given up: its cell keeps the result it shows as a
// plain value, as the other cells of the range already do.
bool Patcher::ReleaseArrayFormulas() {
    for (CellRef master : index_.ArrayFormulaCells()) {
        const IndexedCell* cell = index_.Find(master);
        if (!cell || edits_.Find(master)) continue;
        const std::string_view xml = Slice(cell->begin, cell->begin + cell->length);
        CellXml content;
        if (!ReadCellXml(xml, content)) return false;
        const auto range = ParseRangeAddress(content.formulaRef);
        if (!range || range->CellCount() < 2 || !HasEditWithin(*range)) continue;
        auto replaced = WithFormula(xml, std::nullopt);
        if (!replaced) return false;
        replacements_[CellKey(master)] = std::move(*replaced);
        replacementRows_.insert(master.row);
        replacedFormula_ = true;
    }
    return true;
}

bool Patcher::HasEditWithin(const CellRange& range) const {
    for (std::uint32_t row = range.first.row; row <= range.last.row && row < edits_.RowLimit(); ++row)
        for (const GridCell& cell : edits_.Row(row))
            if (cell.column >= range.first.column && cell.column <= range.last.column) return true;
    return false;
}

// Everything before <sheetData>, with the dimension widened to the written cells, and the
// sheetData start tag.
void Patcher::EmitHead() {
    const std::uint64_t sheetDataBegin = index_.SheetDataElement().begin;
    const auto dimension = index_.DimensionValue();
    if (dimension && dimension->end <= sheetDataBegin) {
        std::optional<CellRange> box = ParseRangeAddress(Slice(dimension->begin, dimension->end));
        for (std::uint32_t row = 1; row < edits_.RowLimit(); ++row)
            for (const GridCell& written : edits_.Row(row))
                if (!written.value.text.empty()) box = Widened(box, {row, written.column});
        out_.append(xml_.substr(0, dimension->begin));
        out_ += box ? RangeAddress(*box) : std::string(Slice(dimension->begin, dimension->end));
        out_.append(Slice(dimension->end, sheetDataBegin));
    } else {
        out_.append(xml_.substr(0, sheetDataBegin));
    }
    if (index_.SheetDataIsEmptyElement())
        out_ += "<" + prefix_ + "sheetData>";
    else
        out_.append(Slice(sheetDataBegin, index_.SheetDataContent().begin));
}

std::uint32_t Patcher::NextEditedRow(std::uint32_t after) const {
    for (std::uint32_t row = after + 1; row < edits_.RowLimit(); ++row)
        if (!edits_.Row(row).empty()) return row;
    return 0;
}

// Existing and new rows merged in ascending row order.
void Patcher::EmitRows() {
    const auto& rows = index_.Rows();
    std::size_t i = 0;
    std::uint32_t edited = NextEditedRow(0);
    while (i < rows.size() || edited != 0) {
        if (i < rows.size() && (edited == 0 || rows[i].row <= edited)) {
            const IndexedRow& row = rows[i++];
            const bool written = row.row == edited;
            if (written) edited = NextEditedRow(edited);
            if (written || replacementRows_.count(row.row))
                EmitExistingRow(row);
            else
                out_.append(Slice(row.element.begin, row.element.end));
        } else {
            EmitNewRow(edited);
            edited = NextEditedRow(edited);
        }
    }
}

std::string Patcher::RowStartTag(const IndexedRow& row) const {
    std::string tag(Slice(row.element.begin, row.content.begin));
    const auto& written = edits_.Row(row.row);
    if (row.hasSpans && !written.empty()) {
        if (auto spans = ParseSpans(Slice(row.spansValue.begin, row.spansValue.end))) {
            const std::uint32_t low = std::min(spans->first, written.front().column);
            const std::uint32_t high = std::max(spans->second, written.back().column);
            tag = std::string(Slice(row.element.begin, row.spansValue.begin)) + std::to_string(low) + ":" +
                  std::to_string(high) + std::string(Slice(row.spansValue.end, row.content.begin));
        }
    }
    if (row.emptyElement) { // <row .../> becomes <row ...> so that cells can follow
        tag.resize(tag.size() - 2);
        tag += ">";
    }
    return tag;
}

void Patcher::EmitExistingRow(const IndexedRow& row) {
    out_ += RowStartTag(row);
    const auto& written = edits_.Row(row.row);
    const IndexedCell* cells = index_.Cells().data() + row.firstCell;
    std::uint64_t tailBegin = row.content.begin;
    std::size_t w = 0;
    for (std::uint32_t c = 0; c < row.cellCount; ++c) {
        const IndexedCell& cell = cells[c];
        tailBegin = std::max<std::uint64_t>(tailBegin, cell.begin + cell.length);
        for (; w < written.size() && written[w].column < cell.column; ++w)
            EmitWrittenCell({row.row, written[w].column}, written[w].value, nullptr);
        if (w < written.size() && written[w].column == cell.column) {
            EmitWrittenCell({row.row, cell.column}, written[w++].value, &cell);
        } else if (auto it = replacements_.find(CellKey({row.row, cell.column})); it != replacements_.end()) {
            EmitKeptCell(it->second, {row.row, cell.column});
        } else {
            EmitKeptCell(Slice(cell.begin, cell.begin + cell.length), {row.row, cell.column});
        }
    }
    for (; w < written.size(); ++w)
        EmitWrittenCell({row.row, written[w].column}, written[w].value, nullptr);
    if (row.emptyElement) {
        std::string_view start = Slice(row.element.begin + 1, row.element.end);
        out_ += "</" + std::string(start.substr(0, start.find_first_of(" \t\r\n/>"))) + ">";
    } else {
        out_.append(Slice(tailBegin, row.element.end)); // whatever follows the cells, and the end tag
    }
}

void Patcher::EmitNewRow(std::uint32_t row) {
    const auto& written = edits_.Row(row);
    if (std::all_of(written.begin(), written.end(), [](const GridCell& c) { return c.value.text.empty(); }))
        return;
    Open("row");
    out_ += " r=\"" + std::to_string(row) + "\">";
    for (const GridCell& cell : written)
        EmitWrittenCell({row, cell.column}, cell.value, nullptr);
    Close("row");
}

void Patcher::EmitWrittenCell(CellRef cell, const GridValue& written, const IndexedCell* original) {
    GridValue overridden;
    if (!overrides_.empty())
        if (auto it = overrides_.find(CellKey(cell)); it != overrides_.end()) overridden.text = it->second;
    const GridValue& value = overridden.text.empty() ? written : overridden;
    std::string_view style; // raw, as the original start tag has it
    if (original) {
        XmlScanner& scanner = StartTagScanner(Slice(original->begin, original->begin + original->length));
        if (const XmlAttribute* s = scanner.FindAttribute("s")) style = s->rawValue;
    }
    if (value.text.empty() && style.empty()) return;
    Open("c");
    out_ += " r=\"";
    out_ += CellAddress(cell);
    out_ += '"';
    if (!style.empty()) {
        out_ += " s=\"";
        out_ += style;
        out_ += '"';
    }
    if (value.text.empty()) {
        out_ += "/>";
        return;
    }
    out_ += " t=\"inlineStr\">";
    Open("is");
    out_ += '>';
    Open("t");
    if (NeedsSpacePreserve(value.text)) out_ += " xml:space=\"preserve\"";
    out_ += '>';
    AppendCellXmlText(value.text, out_);
    Close("t");
    Close("is");
    Close("c");
}

// A cell of a rewritten row, kept as it was. One without an address stands in the column after
// the cell before it; since cells around it may have been added or emptied, it gets its address.
void Patcher::EmitKeptCell(std::string_view element, CellRef cell) {
    if (StartTagScanner(element).FindAttribute("r")) {
        out_ += element;
        return;
    }
    const std::size_t nameEnd = element.find_first_of(" \t\r\n/>");
    out_.append(element.substr(0, nameEnd));
    out_ += " r=\"" + CellAddress(cell) + "\"";
    out_.append(element.substr(nameEnd));
}

// "<x:name" (without ">") and "</x:name>" for the sheet's prefix.
void Patcher::Open(std::string_view name) {
    out_ += '<';
    out_ += prefix_;
    out_ += name;
}

void Patcher::Close(std::string_view name) {
    out_ += "</";
    out_ += prefix_;
    out_ += name;
    out_ += '>';
}

// A scanner that has read the start tag of `element` (its attributes are then at hand).
XmlScanner& Patcher::StartTagScanner(std::string_view element) {
    tagScanner_.Reset(element);
    tagScanner_.Next();
    return tagScanner_;
}

} // namespace

std::optional<PatchedSheet> PatchSheet(const LoadedSheet& sheet,
                                       const std::unordered_map<std::uint64_t, std::string>& textOverrides) {
    return Patcher(sheet, textOverrides).Run();
}

} // namespace iploc::workbook
