// The special-purpose IPv4 ranges (loopback, private networks, documentation, ...)
// that the service knows without a range file.
#pragma once

#include "service/range_table.h"

namespace iploc {

// The built-in ranges. Each is labelled in "country" ("本机地址", "局域网", ...);
// the other four values are empty.
const RangeTable& SpecialRanges();

} // namespace iploc
