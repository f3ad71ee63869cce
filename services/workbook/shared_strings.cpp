#include "services/workbook/shared_strings.h"

#include "services/workbook/ooxml_text.h"
#include "services/workbook/xml_scanner.h"

namespace iploc::workbook {

bool ReadStringItem(XmlScanner& scanner, std::string& out) {
    const std::size_t itemDepth = scanner.Depth();
    std::size_t phoneticDepth = 0; // depth of an open <rPh>, 0 when outside one
    bool inText = false;
    const std::size_t start = out.size();
    while (true) {
        switch (scanner.Next()) {
        case XmlScanner::Token::StartElement:
            if (scanner.LocalName() == "rPh" && phoneticDepth == 0) phoneticDepth = scanner.Depth();
            inText = scanner.LocalName() == "t" && phoneticDepth == 0;
            break;
        case XmlScanner::Token::EndElement:
            if (scanner.Depth() < itemDepth) {
                if (out.find("_x", start) != std::string::npos) { // rare: only then pay for a copy
                    std::string text = out.substr(start);
                    DecodeCharacterEscapes(text);
                    out.replace(start, out.npos, text);
                }
                return true;
            }
            if (scanner.Depth() < phoneticDepth) phoneticDepth = 0;
            inText = false;
            break;
        case XmlScanner::Token::Text:
            if (inText) scanner.AppendText(out);
            break;
        default:
            return false;
        }
    }
}

bool SharedStrings::Load(std::string_view xml) {
    texts_.clear();
    offsets_.assign(1, 0);
    XmlScanner scanner(xml);
    while (true) {
        const XmlScanner::Token token = scanner.Next();
        if (token == XmlScanner::Token::End) return true;
        if (token == XmlScanner::Token::Error) break;
        if (token != XmlScanner::Token::StartElement || scanner.LocalName() != "si" || scanner.Depth() != 2)
            continue;
        if (scanner.IsEmptyElement())
            scanner.Next(); // <si/>: an empty item
        else if (!ReadStringItem(scanner, texts_))
            break;
        offsets_.push_back(std::uint32_t(texts_.size()));
    }
    texts_.clear();
    offsets_.assign(1, 0);
    return false;
}

bool SharedStrings::Find(std::size_t index, std::string_view& out) const {
    if (index >= Count()) return false;
    out = std::string_view(texts_).substr(offsets_[index], offsets_[index + 1] - offsets_[index]);
    return true;
}

} // namespace iploc::workbook
