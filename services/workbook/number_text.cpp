#include "services/workbook/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace iploc::workbook {
namespace {

// Decimal digits and exponent of a value in scientific form: "1.2345e+07" gives "12345", 7.
struct Digits {
    std::string digits;
    int exponent = 0;
};

Digits SplitScientific(std::string_view scientific) {
    Digits result;
    const std::size_t e = scientific.find('e');
    for (char c : scientific.substr(0, e))
        if (c >= '0' && c <= '9') result.digits += c;
    std::from_chars(scientific.data() + e + (scientific[e + 1] == '+' ? 2 : 1),
                    scientific.data() + scientific.size(), result.exponent);
    while (result.digits.size() > 1 && result.digits.back() == '0')
        result.digits.pop_back();
    return result;
}

// Shortest round-trip digits, or 15 significant digits when the shortest form needs more.
Digits SignificantDigits(double magnitude) {
    char buffer[64];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific).ptr;
    Digits digits = SplitScientific({buffer, std::size_t(end - buffer)});
    if (digits.digits.size() <= 15) return digits;
    end = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 14).ptr;
    return SplitScientific({buffer, std::size_t(end - buffer)});
}

std::string PlainNotation(const Digits& d) {
    const int count = int(d.digits.size());
    if (d.exponent < 0) return "0." + std::string(std::size_t(-d.exponent - 1), '0') + d.digits;
    if (d.exponent + 1 >= count) return d.digits + std::string(std::size_t(d.exponent + 1 - count), '0');
    return d.digits.substr(0, std::size_t(d.exponent + 1)) + "." +
           d.digits.substr(std::size_t(d.exponent + 1));
}

std::string ExponentNotation(const Digits& d) {
    std::string text = d.digits.substr(0, 1);
    if (d.digits.size() > 1) text += "." + d.digits.substr(1);
    char exponent[16];
    std::snprintf(exponent, sizeof exponent, "E%c%02d", d.exponent < 0 ? '-' : '+', std::abs(d.exponent));
    return text + exponent;
}

} // namespace

std::string ShownNumber(double value) {
    if (!std::isfinite(value)) return "#NUM!"; // only a damaged file holds one; spreadsheets show this error
    if (value == 0) return "0";
    const Digits digits = SignificantDigits(std::fabs(value));
    const bool plain = digits.exponent >= -9 && digits.exponent < 15;
    return (value < 0 ? "-" : "") + (plain ? PlainNotation(digits) : ExponentNotation(digits));
}

std::string ShownNumberText(std::string_view valueText) {
    std::size_t begin = 0, end = valueText.size();
    while (begin < end && valueText[begin] == ' ')
        ++begin;
    while (end > begin && valueText[end - 1] == ' ')
        --end;
    const std::string_view trimmed = valueText.substr(begin, end - begin);
    const std::size_t skip = !trimmed.empty() && trimmed[0] == '+' ? 1 : 0;
    double value = 0;
    auto [ptr, ec] = std::from_chars(trimmed.data() + skip, trimmed.data() + trimmed.size(), value);
    if (ec != std::errc() || ptr != trimmed.data() + trimmed.size() || !std::isfinite(value) ||
        trimmed.empty())
        return std::string(valueText);
    return ShownNumber(value);
}

} // namespace iploc::workbook
