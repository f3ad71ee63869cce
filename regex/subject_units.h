// A code page 936 text in the UTF-16 form the engine matches on, with the byte offset
// of every unit, so that matches found in units can be cut out of the original bytes.
// Internal to the regex module.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace iploc::regex_detail {

struct SubjectUnits {
    std::u16string units;
    // byteAt[i] is the byte offset where unit i begins; byteAt[units.size()] is the
    // text's size, so the unit range [b, e) is the byte range [byteAt[b], byteAt[e]).
    std::vector<std::size_t> byteAt;
};

SubjectUnits DecodeSubject(std::string_view text);

} // namespace iploc::regex_detail
