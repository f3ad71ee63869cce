#include "service/range_table.h"

#include <algorithm>

namespace iploc {

std::optional<RangeTable> RangeTable::Build(std::vector<Range> ranges, Overlap* overlap) {
    std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) {
        return a.first != b.first ? a.first < b.first : a.last < b.last;
    });
    for (std::size_t i = 1; i < ranges.size(); ++i) {
        if (ranges[i].first <= ranges[i - 1].last) {
            if (overlap) *overlap = Overlap{ranges[i - 1], ranges[i]};
            return std::nullopt;
        }
    }
    RangeTable table;
    table.ranges_ = std::move(ranges);
    return table;
}

const Range* RangeTable::Find(std::uint32_t address) const {
    // The first range that starts after the address; the one before it is the only candidate.
    const auto after =
        std::upper_bound(ranges_.begin(), ranges_.end(), address,
                         [](std::uint32_t value, const Range& range) { return value < range.first; });
    if (after == ranges_.begin()) return nullptr;
    const Range& candidate = *(after - 1);
    return address <= candidate.last ? &candidate : nullptr;
}

} // namespace iploc
