// Address ranges with their locations, searched by binary search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace iploc {

// The five values the service answers for an address, UTF-8.
struct Location {
    std::string country;
    std::string province;
    std::string city;
    std::string area;
    std::string isp;

    bool operator==(const Location&) const = default;
};

// The addresses first..last (both included) and their location.
struct Range {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    Location location;
    std::size_t sourceLine = 0; // where the range was read, for messages; 0 if built in
};

class RangeTable {
public:
    // Two ranges of a table that share addresses.
    struct Overlap {
        Range earlier;
        Range later;
    };

    RangeTable() = default;

    // A table of `ranges`, given in any order. Ranges must not share addresses:
    // when two do, the result is empty and `overlap` (if given) names them.
    static std::optional<RangeTable> Build(std::vector<Range> ranges, Overlap* overlap = nullptr);

    // The range that holds `address`, or nullptr.
    const Range* Find(std::uint32_t address) const;

    std::size_t size() const { return ranges_.size(); }

private:
    std::vector<Range> ranges_; // sorted by first address, disjoint
};

} // namespace iploc
