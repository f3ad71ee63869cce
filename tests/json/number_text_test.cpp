#include "json/number_text.h"
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace iploc {
namespace {

TEST(NumberText, EcmaScriptNumberToString) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {12.5, "12.5"},
        {100, "100"},
        {0, "0"},
        {-0.0, "0"},
        {-1.5, "-1.5"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1e21, "1e+21"},
        {1e20, "100000000000000000000"},
        {123456789012345680000.0, "123456789012345680000"},
        {1.5e21, "1.5e+21"},
        {1e-6, "0.000001"},
        {1e-7, "1e-7"},
        {1.25e-7, "1.25e-7"},
        {-2.5e-10, "-2.5e-10"},
        {9007199254740993.0, "9007199254740992"},
        {5e-324, "5e-324"},
        {1.7976931348623157e308, "1.7976931348623157e+308"},
        {std::nan(""), "NaN"},
        {inf, "Infinity"},
        {-inf, "-Infinity"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EcmaNumberText(c.value), c.text) << c.text;
}

TEST(NumberText, ThirteenSignificantDigits) {
    EXPECT_EQ(NumberTextG13(1.0 / 3), "0.3333333333333");
    EXPECT_EQ(NumberTextG13(2.5), "2.5");
    EXPECT_EQ(NumberTextG13(1e21), "1e+21");
    EXPECT_EQ(NumberTextG13(123456789012345.0), "1.234567890123e+14");
    EXPECT_EQ(NumberTextG13(0.0001), "0.0001");
    EXPECT_EQ(NumberTextG13(0.00001), "1e-05");
}

TEST(NumberText, ReadsWholeDecimalTexts) {
    struct Case {
        const char* text;
        std::optional<double> value;
    } cases[] = {
        {"12", 12},
        {" -1.5e2\t", -150},
        {"+3", 3},
        {".5", 0.5},
        {"1.", 1},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"12a", std::nullopt},
        {"0x10", std::nullopt},
        {"inf", std::nullopt},
        {"NaN", std::nullopt},
        {"1e999", std::nullopt},
        {"--1", std::nullopt},
        {"1 2", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadNumberText(c.text), c.value) << c.text;
}

} // namespace
} // namespace iploc
