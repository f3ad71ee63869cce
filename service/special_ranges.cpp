#include "service/special_ranges.h"

#include "service/ipv4_address.h"

#include <cstdlib>
#include <iterator>
#include <string_view>

namespace iploc {

namespace {

struct SpecialRange {
    std::string_view first;
    std::string_view last;
    std::string_view label;
};

// From the IANA special-purpose address registry (RFC 6890 and the RFCs it lists),
// plus multicast (RFC 5771). The limited broadcast address is cut out of 240/4 so
// that the table stays free of overlaps.
constexpr SpecialRange kSpecialRanges[] = {
    {"0.0.0.0", "0.255.255.255", "本网络"},             // 0.0.0.0/8
    {"10.0.0.0", "10.255.255.255", "局域网"},           // 10.0.0.0/8
    {"100.64.0.0", "100.127.255.255", "共享地址"},      // 100.64.0.0/10
    {"127.0.0.0", "127.255.255.255", "本机地址"},       // 127.0.0.0/8
    {"169.254.0.0", "169.254.255.255", "链路本地地址"}, // 169.254.0.0/16
    {"172.16.0.0", "172.31.255.255", "局域网"},         // 172.16.0.0/12
    {"192.0.0.0", "192.0.0.255", "保留地址"},           // 192.0.0.0/24, protocol assignments
    {"192.0.2.0", "192.0.2.255", "文档地址"},           // 192.0.2.0/24, TEST-NET-1
    {"192.168.0.0", "192.168.255.255", "局域网"},       // 192.168.0.0/16
    {"198.18.0.0", "198.19.255.255", "基准测试地址"},   // 198.18.0.0/15
    {"198.51.100.0", "198.51.100.255", "文档地址"},     // 198.51.100.0/24, TEST-NET-2
    {"203.0.113.0", "203.0.113.255", "文档地址"},       // 203.0.113.0/24, TEST-NET-3
    {"224.0.0.0", "239.255.255.255", "组播地址"},       // 224.0.0.0/4
    {"240.0.0.0", "255.255.255.254", "保留地址"},       // 240.0.0.0/4
    {"255.255.255.255", "255.255.255.255", "广播地址"}, // limited broadcast
};

std::uint32_t Address(std::string_view text) {
    const auto address = ParseIpv4(text);
    if (!address) std::abort(); // the table above is fixed; a typo there is a build fault
    return *address;
}

RangeTable BuildSpecialRanges() {
    std::vector<Range> ranges;
    for (const SpecialRange& special : kSpecialRanges) {
        Range range{Address(special.first), Address(special.last), Location{}, 0};
        range.location.country = special.label;
        ranges.push_back(std::move(range));
    }
    auto table = RangeTable::Build(std::move(ranges));
    if (!table) std::abort(); // likewise: the fixed table must not overlap
    return std::move(*table);
}

} // namespace

const RangeTable& SpecialRanges() {
    static const RangeTable table = BuildSpecialRanges();
    return table;
}

} // namespace iploc
