// Loading a range table from a CSV file.
//
// One range per record: start address, end address, country, province, city, area,
// isp. The addresses are dotted-quad IPv4 (blanks around them are allowed); the five
// values are UTF-8 text taken as they stand. The first record may be a header whose
// first field begins with "start". Ranges may come in any order but must not share
// addresses. See docs/service.md.
#pragma once

#include "service/range_table.h"

#include <istream>
#include <optional>
#include <string>

namespace iploc {

// The ranges read from `in`. On a fault the result is empty and `error` says
// "<name>:<line>: <what is wrong>".
std::optional<RangeTable> ReadRanges(std::istream& in, const std::string& name, std::string& error);

// The ranges of the file at `path` (UTF-8 file name); as ReadRanges, and an error
// naming the file when it cannot be read.
std::optional<RangeTable> LoadRangeFile(const std::string& path, std::string& error);

} // namespace iploc
