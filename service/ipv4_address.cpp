#include "service/ipv4_address.h"

namespace iploc {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads one decimal part at `pos` and moves `pos` past it.
std::optional<std::uint32_t> ReadPart(std::string_view text, std::size_t& pos) {
    const std::size_t start = pos;
    std::uint32_t value = 0;
    while (pos < text.size() && IsDigit(text[pos]) && pos - start < 3) {
        value = value * 10 + static_cast<std::uint32_t>(text[pos] - '0');
        ++pos;
    }
    const std::size_t length = pos - start;
    if (length == 0 || value > 255) return std::nullopt;
    if (length > 1 && text[start] == '0') return std::nullopt;
    return value;
}

} // namespace

std::optional<std::uint32_t> ParseIpv4(std::string_view text) {
    std::uint32_t address = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.') return std::nullopt;
            ++pos;
        }
        const auto value = ReadPart(text, pos);
        if (!value) return std::nullopt;
        address = (address << 8) | *value;
    }
    if (pos != text.size()) return std::nullopt;
    return address;
}

std::string FormatIpv4(std::uint32_t address) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (shift != 24) text += '.';
        text += std::to_string((address >> shift) & 0xFF);
    }
    return text;
}

} // namespace iploc
