// IPv4 addresses in strict dotted-quad form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace iploc {

// The address written as four decimal parts 0-255 joined by dots, as a number
// (first part in the high byte). Anything else is refused: blanks, signs, empty
// parts, a trailing dot, hexadecimal or octal forms, and leading zeros ("010"),
// which some parsers read as octal and others as decimal.
std::optional<std::uint32_t> ParseIpv4(std::string_view text);

// The address in the form ParseIpv4 accepts ("192.168.0.1").
std::string FormatIpv4(std::uint32_t address);

} // namespace iploc
