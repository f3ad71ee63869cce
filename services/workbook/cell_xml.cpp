#include "services/workbook/cell_xml.h"

#include "services/workbook/number_text.h"
#include "services/workbook/ooxml_text.h"
#include "services/workbook/shared_strings.h"
#include "services/workbook/xml_scanner.h"

#include <charconv>

namespace iploc::workbook {
namespace {

// Reads the text of the child element the scanner has just entered, up to its end.
bool ReadChildText(XmlScanner& scanner, std::string& out) {
    const std::size_t depth = scanner.Depth();
    while (true) {
        switch (scanner.Next()) {
        case XmlScanner::Token::Text:
            if (scanner.Depth() == depth) scanner.AppendText(out);
            break;
        case XmlScanner::Token::EndElement:
            if (scanner.Depth() < depth) return true;
            break;
        case XmlScanner::Token::StartElement:
            break;
        default:
            return false;
        }
    }
}

bool ReadChild(XmlScanner& scanner, CellXml& out) {
    const std::string_view name = scanner.LocalName();
    if (name == "v") return ReadChildText(scanner, out.value);
    if (name == "is") return ReadStringItem(scanner, out.inlineText);
    if (name == "f") {
        out.hasFormula = true;
        out.formulaType = scanner.AttributeValue("t");
        out.formulaRef = scanner.AttributeValue("ref");
        out.sharedIndex = scanner.AttributeValue("si");
        return ReadChildText(scanner, out.formula);
    }
    return true;
}

} // namespace

bool ReadCellXml(std::string_view element, CellXml& out) {
    out = CellXml();
    thread_local XmlScanner scanner;
    scanner.Reset(element);
    if (scanner.Next() != XmlScanner::Token::StartElement || scanner.LocalName() != "c") return false;
    out.type = scanner.AttributeValue("t");
    out.style = scanner.AttributeValue("s");
    while (true) {
        switch (scanner.Next()) {
        case XmlScanner::Token::StartElement:
            if (scanner.Depth() == 2 && !ReadChild(scanner, out)) return false;
            break;
        case XmlScanner::Token::End:
            return true;
        case XmlScanner::Token::Error:
            return false;
        default:
            break;
        }
    }
}

std::string ShownText(const CellXml& cell, const SharedStrings& strings) {
    if (cell.type == "inlineStr") return cell.inlineText;
    return ShownValue(cell.type, cell.value, strings);
}

std::string ShownValue(std::string_view type, const std::string& value, const SharedStrings& strings) {
    if (value.empty()) return {};
    if (type == "s") {
        std::size_t index = 0;
        const char* end = value.data() + value.size();
        std::string_view text;
        auto [ptr, ec] = std::from_chars(value.data(), end, index);
        if (ec != std::errc() || ptr != end || !strings.Find(index, text)) return {};
        return std::string(text);
    }
    if (type == "str") {
        std::string text = value;
        DecodeCharacterEscapes(text);
        return text;
    }
    if (type == "b") return value == "1" || value == "true" ? "TRUE" : "FALSE";
    if (type == "e" || type == "d") return value;
    return ShownNumberText(value);
}

} // namespace iploc::workbook
