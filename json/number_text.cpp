#include "json/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace iploc {
namespace {

// The shortest round-trip digits of a positive finite value and the position of the
// decimal point relative to them (value = 0.digits * 10^pointPosition).
struct ShortestDigits {
    std::string digits;
    int pointPosition = 0;
};

ShortestDigits ShortestOf(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const auto e = text.find('e');
    ShortestDigits out;
    for (char c : text.substr(0, e)) {
        if (c != '.') out.digits.push_back(c);
    }
    int exponent = 0;
    const auto exponentText = text.substr(e + 1);
    const auto* first = exponentText.data() + (exponentText.front() == '+' ? 1 : 0);
    std::from_chars(first, exponentText.data() + exponentText.size(), exponent);
    out.pointPosition = exponent + 1;
    return out;
}

std::string ExponentForm(const ShortestDigits& d) {
    std::string out(1, d.digits[0]);
    if (d.digits.size() > 1) out += "." + d.digits.substr(1);
    const int exponent = d.pointPosition - 1;
    out += exponent < 0 ? "e-" : "e+";
    out += std::to_string(std::abs(exponent));
    return out;
}

std::string PositiveNumberText(double value) {
    const auto d = ShortestOf(value);
    const int k = static_cast<int>(d.digits.size());
    const int n = d.pointPosition;
    if (k <= n && n <= 21) return d.digits + std::string(static_cast<std::size_t>(n - k), '0');
    if (0 < n && n <= 21) return d.digits.substr(0, n) + "." + d.digits.substr(n);
    if (-6 < n && n <= 0) return "0." + std::string(static_cast<std::size_t>(-n), '0') + d.digits;
    return ExponentForm(d);
}

bool IsAsciiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

std::string EcmaNumberText(double value) {
    if (std::isnan(value)) return "NaN";
    if (value == 0) return "0";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
    return value < 0 ? "-" + PositiveNumberText(-value) : PositiveNumberText(value);
}

std::string NumberTextG13(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
    return std::string(buffer, result.ptr);
}

std::optional<double> ReadNumberText(std::string_view text) {
    while (!text.empty() && IsAsciiSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsAsciiSpace(text.back()))
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars would also take "inf" and "nan"; a number starts with a digit or a point.
    if (text.empty() || !(text.front() == '.' || (text.front() >= '0' && text.front() <= '9'))) {
        return std::nullopt;
    }
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return negative ? -value : value;
}

} // namespace iploc
