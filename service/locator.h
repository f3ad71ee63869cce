// Finds the location of an address: the built-in special-purpose ranges first,
// then the ranges loaded from a file.
#pragma once

#include "service/range_table.h"

#include <cstdint>

namespace iploc {

class Locator {
public:
    explicit Locator(RangeTable loaded = {}) : loaded_(std::move(loaded)) {}

    // The location of `address`; an address in no range has all five values empty.
    const Location& Find(std::uint32_t address) const;

    std::size_t loadedRanges() const { return loaded_.size(); }

private:
    RangeTable loaded_;
};

} // namespace iploc
