#include "service/answer.h"
#include "service/ipv4_address.h"
#include "service/special_ranges.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace iploc {
namespace {

TEST(ServiceSpecialRanges, LabelsEveryBlockToItsEdges) {
    const struct {
        const char* address;
        const char* label; // "" = not special
    } cases[] = {
        {"0.0.0.0", "本网络"},
        {"0.255.255.255", "本网络"},
        {"1.0.0.0", ""},
        {"9.255.255.255", ""},
        {"10.0.0.0", "局域网"},
        {"10.255.255.255", "局域网"},
        {"11.0.0.0", ""},
        {"100.63.255.255", ""},
        {"100.64.0.0", "共享地址"},
        {"100.127.255.255", "共享地址"},
        {"100.128.0.0", ""},
        {"126.255.255.255", ""},
        {"127.0.0.0", "本机地址"},
        {"127.0.0.1", "本机地址"},
        {"127.255.255.255", "本机地址"},
        {"128.0.0.0", ""},
        {"169.253.255.255", ""},
        {"169.254.0.0", "链路本地地址"},
        {"169.254.255.255", "链路本地地址"},
        {"169.255.0.0", ""},
        {"172.15.255.255", ""},
        {"172.16.0.0", "局域网"},
        {"172.31.255.255", "局域网"},
        {"172.32.0.0", ""},
        {"192.0.0.0", "保留地址"},
        {"192.0.0.255", "保留地址"},
        {"192.0.1.0", ""},
        {"192.0.2.0", "文档地址"},
        {"192.0.2.255", "文档地址"},
        {"192.0.3.0", ""},
        {"192.167.255.255", ""},
        {"192.168.0.0", "局域网"},
        {"192.168.255.255", "局域网"},
        {"192.169.0.0", ""},
        {"198.17.255.255", ""},
        {"198.18.0.0", "基准测试地址"},
        {"198.19.255.255", "基准测试地址"},
        {"198.20.0.0", ""},
        {"198.51.99.255", ""},
        {"198.51.100.0", "文档地址"},
        {"198.51.100.255", "文档地址"},
        {"198.51.101.0", ""},
        {"203.0.112.255", ""},
        {"203.0.113.0", "文档地址"},
        {"203.0.113.255", "文档地址"},
        {"203.0.114.0", ""},
        {"223.255.255.255", ""},
        {"224.0.0.0", "组播地址"},
        {"239.255.255.255", "组播地址"},
        {"240.0.0.0", "保留地址"},
        {"255.255.255.254", "保留地址"},
        {"255.255.255.255", "广播地址"},
    };
    const Locator locator;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        Location expected;
        expected.country = c.label;
        EXPECT_EQ(locator.Find(*ParseIpv4(c.address)), expected);
    }
}

TEST(ServiceLocator, BuiltInRangesComeBeforeLoadedOnes) {
    Range lan{*ParseIpv4("10.0.0.0"), *ParseIpv4("10.0.0.255"), Location{"中国", "", "", "", "局域网络"}, 1};
    Range beijing{*ParseIpv4("1.12.0.0"), *ParseIpv4("1.12.31.255"),
                  Location{"中国", "北京市", "北京市", "", "电信"}, 2};
    const Locator locator(*RangeTable::Build({lan, beijing}));
    EXPECT_EQ(locator.Find(*ParseIpv4("10.0.0.1")).country, "局域网");
    EXPECT_EQ(locator.Find(*ParseIpv4("1.12.31.255")), beijing.location);
    EXPECT_EQ(locator.Find(*ParseIpv4("1.12.32.0")), Location{});
    EXPECT_EQ(locator.loadedRanges(), 2u);
}

TEST(ServiceAnswer, AnswersWithFiveValuesInOrderAndEscapesThem) {
    Range range{*ParseIpv4("1.0.0.0"), *ParseIpv4("1.0.0.255"),
                Location{"中国", "北京市", "\"引号\"", "back\\slash", "tab\there\x01"}, 1};
    const Locator locator(*RangeTable::Build({range}));
    const std::string ip = "1.0.0.7";
    const HttpAnswer answer = AnswerLookup(locator, &ip);
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, R"({"ip":"1.0.0.7","country":"中国","province":"北京市","city":"\"引号\"",)"
                           R"("area":"back\\slash","isp":"tab\there\u0001"})");

    const std::string unknown = "8.8.8.8";
    EXPECT_EQ(AnswerLookup(locator, &unknown).body,
              R"({"ip":"8.8.8.8","country":"","province":"","city":"","area":"","isp":""})");
}

TEST(ServiceAnswer, RefusesMissingAndMalformedAddressesWithJson) {
    const Locator locator;
    const HttpAnswer missing = AnswerLookup(locator, nullptr);
    EXPECT_EQ(missing.status, 400);
    EXPECT_EQ(missing.body, R"({"error":"missing ip parameter"})");

    const struct {
        std::string ip;
        const char* body;
    } cases[] = {
        {"", R"({"error":"invalid address","ip":""})"},
        {" 1.2.3.4", R"({"error":"invalid address","ip":" 1.2.3.4"})"},
        {"1.2.3.4\"}", R"({"error":"invalid address","ip":"1.2.3.4\"}"})"},
        {"中国", R"({"error":"invalid address","ip":"中国"})"},
        // Bytes that are not UTF-8 (here code page 936 text) are replaced, so the body stays JSON.
        {"\xD6\xD0", "{\"error\":\"invalid address\",\"ip\":\"\xEF\xBF\xBD\xEF\xBF\xBD\"}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ip);
        const HttpAnswer answer = AnswerLookup(locator, &c.ip);
        EXPECT_EQ(answer.status, 400);
        EXPECT_EQ(answer.body, c.body);
        EXPECT_TRUE(nlohmann::json::accept(answer.body));
    }
}

TEST(ServiceAnswer, TellsUtf8FromOtherBytes) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("ascii 中国 \xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsValidUtf8("\xD6\xD0\xB9\xFA")); // code page 936
    EXPECT_FALSE(IsValidUtf8("\xE4\xB8"));         // cut short
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));         // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // surrogate
}

} // namespace
} // namespace iploc
