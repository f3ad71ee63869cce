#include "service/ipv4_address.h"

#include <gtest/gtest.h>

namespace iploc {
namespace {

TEST(ServiceIpv4, ReadsDottedQuads) {
    const struct {
        const char* text;
        std::uint32_t address;
    } cases[] = {
        {"0.0.0.0", 0},
        {"255.255.255.255", 0xFFFFFFFF},
        {"1.2.3.4", 0x01020304},
        {"192.168.0.1", 0xC0A80001},
        {"10.0.100.200", 0x0A0064C8},
        {"100.10.1.0", 0x640A0100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseIpv4(c.text), c.address);
        EXPECT_EQ(FormatIpv4(c.address), c.text);
    }
}

TEST(ServiceIpv4, RefusesEverythingElse) {
    const char* cases[] = {
        "",          " 1.2.3.4",           "1.2.3.4 ",   "1.2 .3.4",  "1.2.3",     "1.2.3.4.5",
        "1.2.3.4.",  ".1.2.3.4",           "1..2.3",     "256.1.1.1", "1.2.3.256", "1.2.3.999",
        "010.1.1.1", "1.2.3.00",           "1.2.3.04",   "+1.2.3.4",  "1.-2.3.4",  "0x1.2.3.4",
        "1.2.3.4/8", "1234.1.1.1",         "1.2.3.0004", "1.2.3.a",   "::1",       "1,2,3,4",
        "1.2.3.4\n", "\xEF\xBC\x91.2.3.4", "localhost",  "16909060",
    };
    for (const char* text : cases) {
        EXPECT_EQ(ParseIpv4(text), std::nullopt) << '"' << text << '"';
    }
    EXPECT_EQ(ParseIpv4(std::string_view("1.2.3.4\0", 8)), std::nullopt);
}

} // namespace
} // namespace iploc
