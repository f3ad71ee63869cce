// Numbers as JsonObject writes and reads them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace iploc {

// ECMAScript's Number-to-String: the shortest digits that read back as the same double,
// in plain notation for decimal exponents from -7 to 20 and in exponent notation outside
// ("1e+21", "1e-7", "1.5e+300"); -0 gives "0", then "NaN", "Infinity", "-Infinity".
std::string EcmaNumberText(double value);

// printf's "%.13g" (13 significant digits), independent of the C locale.
std::string NumberTextG13(double value);

// A whole text that reads as a decimal number (surrounding ASCII white space allowed,
// optional sign, digits with an optional fraction and exponent); nothing otherwise.
std::optional<double> ReadNumberText(std::string_view text);

} // namespace iploc
