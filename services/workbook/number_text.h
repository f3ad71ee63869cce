// How a number stored in a cell is shown as text.
#pragma once

#include <string>
#include <string_view>

namespace iploc::workbook {

// The text a spreadsheet's General format gives a number: at most 15 significant digits
// (the precision spreadsheets keep), the shortest form that reads back as the same value
// otherwise; no ".0" on whole numbers; plain decimal notation for magnitudes from 1E-9 up to
// below 1E+15, and "1.5E+20" / "2E-10" notation outside it. Negative zero shows as "0";
// NaN and infinities, which only a damaged file holds, show as "#NUM!".
std::string ShownNumber(double value);
// The same for a number written in a cell's value text ("12.0", "1.5e3"); text that is not
// a finite number is returned unchanged.
std::string ShownNumberText(std::string_view valueText);

} // namespace iploc::workbook
