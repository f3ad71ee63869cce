#include "service/range_file.h"

#include "service/answer.h"
#include "service/csv_reader.h"
#include "service/ipv4_address.h"
#include "text/text.h"

#include <fstream>

namespace iploc {

namespace {

constexpr std::size_t kFieldCount = 7;

bool IsHeader(const CsvRecord& record) {
    return StartsWith(record.fields.front(), "start", true);
}

// Reads one address field; false with `error` set when it is not an address.
bool ReadAddress(const std::string& field, const char* what, std::uint32_t& address, std::string& error) {
    const auto parsed = ParseIpv4(Trim(field));
    if (!parsed) {
        error = std::string(what) + " address \"" + field + "\" is not a dotted-quad IPv4 address";
        return false;
    }
    address = *parsed;
    return true;
}

// The range one record describes; false with `error` set when the record is faulty.
bool ReadRange(const CsvRecord& record, Range& range, std::string& error) {
    const auto& fields = record.fields;
    if (fields.size() != kFieldCount) {
        error = "expected 7 fields (start,end,country,province,city,area,isp), found " +
                std::to_string(fields.size());
        return false;
    }
    if (!ReadAddress(fields[0], "start", range.first, error)) return false;
    if (!ReadAddress(fields[1], "end", range.last, error)) return false;
    if (range.first > range.last) {
        error = "the start address " + FormatIpv4(range.first) + " comes after the end address " +
                FormatIpv4(range.last);
        return false;
    }
    for (std::size_t i = 2; i < kFieldCount; ++i) {
        if (!IsValidUtf8(fields[i])) {
            error = "field " + std::to_string(i + 1) + " is not UTF-8 text";
            return false;
        }
    }
    range.location = Location{fields[2], fields[3], fields[4], fields[5], fields[6]};
    range.sourceLine = record.line;
    return true;
}

std::string Where(const std::string& name, std::size_t line) {
    return name + ":" + std::to_string(line) + ": ";
}

std::string OverlapMessage(const std::string& name, const RangeTable::Overlap& overlap) {
    const std::size_t first = std::min(overlap.earlier.sourceLine, overlap.later.sourceLine);
    const std::size_t second = std::max(overlap.earlier.sourceLine, overlap.later.sourceLine);
    return Where(name, second) + "the range shares addresses with the range on line " +
           std::to_string(first) + " (from " + FormatIpv4(overlap.later.first) + ")";
}

} // namespace

std::optional<RangeTable> ReadRanges(std::istream& in, const std::string& name, std::string& error) {
    CsvReader reader(in);
    std::vector<Range> ranges;
    CsvRecord record;
    bool firstRecord = true;
    while (reader.Next(record)) {
        const bool header = firstRecord && IsHeader(record);
        firstRecord = false;
        if (header) continue;
        Range range;
        std::string fault;
        if (!ReadRange(record, range, fault)) {
            error = Where(name, record.line) + fault;
            return std::nullopt;
        }
        ranges.push_back(std::move(range));
    }
    if (!reader.error().empty()) {
        error = Where(name, reader.errorLine()) + reader.error();
        return std::nullopt;
    }
    RangeTable::Overlap overlap;
    auto table = RangeTable::Build(std::move(ranges), &overlap);
    if (!table) error = OverlapMessage(name, overlap);
    return table;
}

std::optional<RangeTable> LoadRangeFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open the range file";
        return std::nullopt;
    }
    auto table = ReadRanges(in, path, error);
    if (table && in.bad()) {
        error = path + ": reading the range file failed";
        return std::nullopt;
    }
    return table;
}

} // namespace iploc
