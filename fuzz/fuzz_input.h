// Cutting one fuzz input into the pieces a target needs.
//
// Inputs are laid out so that seed files stay readable: an optional first byte of option
// bits, then texts separated by zero bytes (a Text ends at its first zero byte anyway, so a
// zero can never be part of one piece).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace iploc::fuzz {

inline std::string_view AsView(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The first `count` zero-separated pieces of `input`; missing pieces are empty.
inline std::vector<std::string> Pieces(std::string_view input, std::size_t count) {
    std::vector<std::string> pieces;
    while (pieces.size() + 1 < count) {
        const std::size_t zero = input.find('\0');
        if (zero == std::string_view::npos) break;
        pieces.emplace_back(input.substr(0, zero));
        input.remove_prefix(zero + 1);
    }
    pieces.emplace_back(input);
    pieces.resize(count);
    return pieces;
}

// Stops the run with a report when an expectation about a result does not hold.
[[noreturn]] void Fail(const char* what);

inline void Expect(bool condition, const char* what) {
    if (!condition) Fail(what);
}

} // namespace iploc::fuzz
