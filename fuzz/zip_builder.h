// Builds a zip archive in memory from named parts, so that a fuzzer can change the XML of an
// .xlsx package directly instead of bytes that a checksum or compression would guard.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace iploc::fuzz {

using ZipParts = std::vector<std::pair<std::string, std::string>>;

// "name\0content\0name\0content..."; a last name without content gets an empty part.
ZipParts ReadZipParts(std::string_view input);
// The parts stored (not deflated) in one archive, in order; empty when libzip refuses them.
std::string BuildZip(const ZipParts& parts);

} // namespace iploc::fuzz
