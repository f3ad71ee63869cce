// The shared-string table of an .xlsx workbook, kept as one text block with offsets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace iploc::workbook {

class XmlScanner;

class SharedStrings {
public:
    // Reads the part's items; rich-text runs are joined and phonetic guides left out.
    // False when the XML is malformed (the table is then empty).
    bool Load(std::string_view xml);
    std::size_t Count() const { return offsets_.empty() ? 0 : offsets_.size() - 1; }
    // Sets `out` to the UTF-8 text of item `index`; false when there is no such item.
    bool Find(std::size_t index, std::string_view& out) const;

private:
    std::string texts_;
    std::vector<std::uint32_t> offsets_; // item i is texts_[offsets_[i], offsets_[i + 1])
};

// Gathers the text of a string item (<si> or <is>) from the scanner positioned on its start
// element, up to and including its end element. False on malformed XML.
bool ReadStringItem(XmlScanner& scanner, std::string& out);

} // namespace iploc::workbook
