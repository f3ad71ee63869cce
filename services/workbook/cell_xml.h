// One cell element (<c>) of a worksheet: what it holds and the text a spreadsheet shows for it.
#pragma once

#include <string>
#include <string_view>

namespace iploc::workbook {

class SharedStrings;

struct CellXml {
    std::string type;       // the t attribute: "s", "str", "inlineStr", "b", "e", "n", "d" or empty
    std::string style;      // the s attribute, raw; empty when absent
    std::string value;      // decoded text of <v>
    std::string inlineText; // joined text of <is>
    bool hasFormula = false;
    std::string formula;     // decoded text of <f>
    std::string formulaType; // t of <f>: "shared", "array", ... or empty
    std::string formulaRef;  // ref of <f>
    std::string sharedIndex; // si of <f>
};

// Reads the element; false when it is not one well-formed <c> element.
bool ReadCellXml(std::string_view element, CellXml& out);
// The cell's value as a spreadsheet shows it (UTF-8): strings as stored, numbers in their
// General form, booleans as TRUE/FALSE, errors as their code, a formula's cached result.
// Empty for a cell without value and for a shared-string index the table lacks.
std::string ShownText(const CellXml& cell, const SharedStrings& strings);
// The same for a cell of type `type` (not an inline string) whose <v> holds `value` (decoded).
std::string ShownValue(std::string_view type, const std::string& value, const SharedStrings& strings);

} // namespace iploc::workbook
