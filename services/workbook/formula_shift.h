// Moving a formula written for one cell to another cell, as a spreadsheet does when it fills
// a shared formula: relative references move by the distance between the cells, absolute
// ones ($A$1) stay. A reference moved off the sheet becomes #REF!.
#pragma once

#include <string>
#include <string_view>

namespace iploc::workbook {

std::string ShiftFormula(std::string_view formula, long rowOffset, long columnOffset);

} // namespace iploc::workbook
