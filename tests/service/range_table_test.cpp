#include "service/ipv4_address.h"
#include "service/range_file.h"
#include "service/range_table.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>

namespace iploc {
namespace {

Range MakeRange(const char* first, const char* last, const char* country, std::size_t line = 0) {
    Range range{*ParseIpv4(first), *ParseIpv4(last), Location{}, line};
    range.location.country = country;
    return range;
}

// The country of the range holding `address`, or "-" when none does.
std::string CountryAt(const RangeTable& table, const char* address) {
    const Range* range = table.Find(*ParseIpv4(address));
    return range ? range->location.country : "-";
}

TEST(ServiceRanges, FindsAddressesAtEveryBoundary) {
    // Given out of order; adjacent ranges and a single-address range.
    const auto table = RangeTable::Build({
        MakeRange("1.0.0.21", "1.0.0.30", "B"),
        MakeRange("1.0.0.40", "1.0.0.40", "C"),
        MakeRange("1.0.0.10", "1.0.0.20", "A"),
        MakeRange("255.255.255.0", "255.255.255.255", "D"),
    });
    ASSERT_TRUE(table);
    const struct {
        const char* address;
        const char* country;
    } cases[] = {
        {"0.0.0.0", "-"},  {"1.0.0.9", "-"},  {"1.0.0.10", "A"},        {"1.0.0.20", "A"},
        {"1.0.0.21", "B"}, {"1.0.0.30", "B"}, {"1.0.0.31", "-"},        {"1.0.0.39", "-"},
        {"1.0.0.40", "C"}, {"1.0.0.41", "-"}, {"255.255.254.255", "-"}, {"255.255.255.255", "D"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CountryAt(*table, c.address), c.country) << c.address;
    }
    EXPECT_EQ(RangeTable().Find(0), nullptr);
}

TEST(ServiceRanges, RefusesOverlapsAndNamesBothRanges) {
    const struct {
        const char* first;
        const char* last;
    } clashes[] = {
        {"1.0.0.20", "1.0.0.25"}, {"1.0.0.5", "1.0.0.10"}, {"1.0.0.12", "1.0.0.13"}, {"0.0.0.0", "9.0.0.0"}};
    for (const auto& clash : clashes) {
        SCOPED_TRACE(clash.first);
        RangeTable::Overlap overlap;
        const auto table = RangeTable::Build(
            {MakeRange("1.0.0.10", "1.0.0.20", "A", 7), MakeRange(clash.first, clash.last, "B", 9)},
            &overlap);
        EXPECT_FALSE(table);
        EXPECT_EQ(std::min(overlap.earlier.sourceLine, overlap.later.sourceLine), 7u);
        EXPECT_EQ(std::max(overlap.earlier.sourceLine, overlap.later.sourceLine), 9u);
    }
}

std::string ReadError(const std::string& csv) {
    std::istringstream in(csv);
    std::string error;
    EXPECT_FALSE(ReadRanges(in, "t.csv", error)) << csv;
    return error;
}

TEST(ServiceRangeFile, ReadsRangesWithHeaderCommentsAndQuoting) {
    std::istringstream in("# sample\n"
                          "Start,End,Country,Province,City,Area,Isp\n"
                          "1.0.0.0, 1.0.0.255 ,中国,北京市,北京市,朝阳区,\"电信, \"\"光网\"\"\"\n"
                          "\n"
                          "\"2.0.0.0\",2.0.0.0,,,,,\n");
    std::string error;
    const auto table = ReadRanges(in, "t.csv", error);
    ASSERT_TRUE(table) << error;
    EXPECT_EQ(table->size(), 2u);
    const Range* range = table->Find(*ParseIpv4("1.0.0.255"));
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(range->location, (Location{"中国", "北京市", "北京市", "朝阳区", "电信, \"光网\""}));
    EXPECT_EQ(range->sourceLine, 3u);
    ASSERT_NE(table->Find(*ParseIpv4("2.0.0.0")), nullptr);
    EXPECT_EQ(table->Find(*ParseIpv4("2.0.0.0"))->location, Location{});
}

TEST(ServiceRangeFile, RefusesFaultyLinesNamingFileAndLine) {
    const std::string good = "1.0.0.0,1.0.0.255,a,b,c,d,e\n";
    const struct {
        std::string csv;
        const char* error;
    } cases[] = {
        {good + "2.0.0.0,2.0.0.1,a,b,c,d\n", "t.csv:2: expected 7 fields"},
        {good + "2.0.0.0,2.0.0.1,a,b,c,d,e,f\n", "t.csv:2: expected 7 fields"},
        {"# c\n2.0.0.256,2.0.0.1,a,b,c,d,e\n", "t.csv:2: start address \"2.0.0.256\" is not"},
        {"2.0.0.0,2.0.0.01,a,b,c,d,e\n", "t.csv:1: end address \"2.0.0.01\" is not"},
        {"2.0.0.9,2.0.0.1,a,b,c,d,e\n",
         "t.csv:1: the start address 2.0.0.9 comes after the end address 2.0.0.1"},
        {good + good, "t.csv:2: the range shares addresses with the range on line 1"},
        {"9.0.0.0,9.0.0.9,a,b,c,d,e\n" + good + "0.0.0.0,1.0.0.0,,,,,\n",
         "t.csv:3: the range shares addresses with the range on line 2"},
        {good + "2.0.0.0,2.0.0.1,a,\xC0\xAF,c,d,e\n", "t.csv:2: field 4 is not UTF-8 text"},
        {good + "2.0.0.0,2.0.0.1,a,b,c,d,\"e\n", "t.csv:2: a quoted field is not closed"},
        {good + "start,end,country,province,city,area,isp\n", "t.csv:2: start address \"start\" is not"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadError(c.csv).rfind(c.error, 0), 0u) << ReadError(c.csv);
    }
}

TEST(ServiceRangeFile, LoadsTheSampleTableAndReportsMissingFiles) {
    std::string error;
    const auto sample = LoadRangeFile(IPLOC_SERVICE_SAMPLE_RANGES, error);
    ASSERT_TRUE(sample) << error;
    EXPECT_GT(sample->size(), 20u);

    EXPECT_FALSE(LoadRangeFile("/nonexistent/ranges.csv", error));
    EXPECT_EQ(error, "/nonexistent/ranges.csv: cannot open the range file");
}

} // namespace
} // namespace iploc
