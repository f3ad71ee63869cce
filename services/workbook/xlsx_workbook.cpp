#include "services/workbook/xlsx_workbook.h"

#include "services/workbook/cell_xml.h"
#include "services/workbook/xlsx_saver.h"
#include "services/workbook/xml_scanner.h"

#include <future>

namespace iploc::workbook {

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::Open(std::string fileBytes) {
    auto package = ZipPackageReader::Open(std::move(fileBytes));
    if (!package) return nullptr;
    auto layout = ReadPackageLayout(*package);
    if (!layout) return nullptr;
    std::unique_ptr<XlsxWorkbook> workbook(new XlsxWorkbook(std::move(package), std::move(*layout)));
    // The shared strings and the first sheet are the two big parts: they load side by side.
    auto strings = std::async(std::launch::async, [&]() { return workbook->LoadSharedStrings(); });
    // A damaged first worksheet makes the file unreadable; a chart sheet in front is no fault.
    const bool sheetLoaded = !workbook->layout_.sheets[0].isWorksheet || workbook->LoadSheet(0);
    if (!strings.get() || !sheetLoaded) return nullptr;
    return workbook;
}

bool XlsxWorkbook::LoadSharedStrings() {
    if (layout_.sharedStringsEntry.empty()) return true;
    auto xml = package_->ReadBeside(layout_.sharedStringsEntry, kMaxSheetPartSize);
    return xml && strings_.Load(*xml);
}

XlsxWorkbook::XlsxWorkbook(std::unique_ptr<ZipPackageReader> package, PackageLayout layout)
    : package_(std::move(package)), layout_(std::move(layout)), sheets_(layout_.sheets.size()) {}

bool XlsxWorkbook::LoadSheet(int index) {
    if (index < 0 || index >= SheetCount() || !layout_.sheets[std::size_t(index)].isWorksheet) return false;
    if (sheets_[std::size_t(index)]) return true;
    auto xml = package_->Read(layout_.sheets[std::size_t(index)].entryName, kMaxSheetPartSize);
    if (!xml) return false;
    auto sheet = std::make_unique<LoadedSheet>();
    sheet->xml = std::move(*xml);
    if (!sheet->index.Build(sheet->xml)) return false;
    sheets_[std::size_t(index)] = std::move(sheet);
    return true;
}

const LoadedSheet* XlsxWorkbook::Loaded(int sheet) const {
    return sheet >= 0 && sheet < SheetCount() ? sheets_[std::size_t(sheet)].get() : nullptr;
}

std::string XlsxWorkbook::ReadCell(int sheet, CellRef cell) const {
    const LoadedSheet* loaded = Loaded(sheet);
    if (!loaded) return {};
    if (const GridValue* written = loaded->edits.Find(cell)) return written->text;
    const IndexedCell* indexed = loaded->index.Find(cell);
    if (!indexed) return {};
    const std::uint8_t fast = IndexedCell::kValueSpan | IndexedCell::kNoValueSpan;
    if ((indexed->flags & fast) == IndexedCell::kValueSpan && indexed->typeCode < std::size(kCellTypes)) {
        const std::string_view raw =
            std::string_view(loaded->xml).substr(indexed->begin + indexed->valueOffset, indexed->valueLength);
        std::string value;
        if (raw.find('&') == std::string_view::npos)
            value = raw;
        else
            DecodeXmlText(raw, value);
        return ShownValue(kCellTypes[indexed->typeCode], value, strings_);
    }
    CellXml content;
    if (!ReadCellXml(std::string_view(loaded->xml).substr(indexed->begin, indexed->length), content))
        return {};
    return ShownText(content, strings_);
}

void XlsxWorkbook::WriteCell(int sheet, CellRef cell, std::string_view text) {
    if (!Loaded(sheet)) return;
    sheets_[std::size_t(sheet)]->edits.Set(cell, {GridValue::Kind::Text, std::string(text), 0});
}

bool XlsxWorkbook::SaveAs(const std::filesystem::path& path) const {
    std::vector<const LoadedSheet*> sheets;
    for (const auto& sheet : sheets_)
        sheets.push_back(sheet.get());
    return SaveXlsxPackage(*package_, layout_, sheets, path);
}

} // namespace iploc::workbook
