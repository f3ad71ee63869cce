#include "service/locator.h"

#include "service/special_ranges.h"

namespace iploc {

const Location& Locator::Find(std::uint32_t address) const {
    static const Location unknown;
    if (const Range* special = SpecialRanges().Find(address)) return special->location;
    if (const Range* range = loaded_.Find(address)) return range->location;
    return unknown;
}

} // namespace iploc
