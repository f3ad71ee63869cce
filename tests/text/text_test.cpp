#include "text/text.h"

#include <gtest/gtest.h>

namespace iploc {
namespace {

// 中 in code page 936 is D6 D0; 啊 is B0 A1; the double-byte space is A1 A1.
const Text kZhong = "\xD6\xD0";
const Text kA = "\xB0\xA1";
const Text kWideSpace = "\xA1\xA1";

TEST(TextFind, NeverStartsOnTrailByte) {
    struct Case {
        Text text, needle;
        std::size_t expected;
    } cases[] = {
        {kA + "\xA1" "x", "\xA1\xA1", kNotFound}, // B0 A1 | A1 'x': the pair straddles two characters
        {kA + kWideSpace, kWideSpace, 2},
        {"\xD6\xD0\xD0\xD6", "\xD0\xD0", kNotFound},
        {"ab" + kZhong + "ab", "ab", 0},
        {"abc", "", 0},
        {"abc", "d", kNotFound},
    };
    for (const auto& c : cases) EXPECT_EQ(Find(c.text, c.needle), c.expected) << c.text;
    EXPECT_EQ(Find("xab" + kZhong + "ab", "ab", 2), 5u);
    EXPECT_EQ(FindLast("ab" + kZhong + "ab", "ab"), 4u);
    EXPECT_EQ(FindLast(kA + "\xA1", "\xA1"), 2u) << "a lone last byte is a character of its own";
    EXPECT_EQ(FindLast(kA, "\xA1"), kNotFound);
}

TEST(TextFind, CaseFoldingIsAsciiOnly) {
    EXPECT_EQ(Find("Content-TYPE: x", "content-type:", 0, true), 0u);
    EXPECT_EQ(Find("Content-TYPE: x", "content-type:"), kNotFound);
    // Full-width Ａ (A3 C1) and ａ (A3 E1) are not folded.
    EXPECT_FALSE(Contains("\xA3\xC1", "\xA3\xE1", true));
    EXPECT_TRUE(EqualsIgnoreCase("Set-Cookie", "set-cookie"));
}

TEST(TextSplit, KeepsInnerEmptyPiecesDropsTrailingOne) {
    struct Case {
        Text text, sep;
        TextList expected;
    } cases[] = {
        {"", ",", {}},
        {"a", ",", {"a"}},
        {"a,,b", ",", {"a", "", "b"}},
        {",a", ",", {"", "a"}},
        {"a,", ",", {"a"}},
        {"a,,", ",", {"a", ""}},
        {",", ",", {""}},
        {"a\r\nb\r\n", "\r\n", {"a", "b"}},
        {kA + "\xA1" "b", "\xA1", {kA, "b"}}, // the A1 inside 啊 is not a separator
    };
    for (const auto& c : cases) EXPECT_EQ(Split(c.text, c.sep), c.expected) << c.text;
}

TEST(TextTrim, RemovesSpacesAndWideSpacesOnly) {
    struct Case {
        Text text, expected;
    } cases[] = {
        {"  a b  ", "a b"},
        {kWideSpace + " x" + kWideSpace, "x"},
        {"\ta\t", "\ta\t"},
        {"\r\nab ", "\r\nab"},
        {"   ", ""},
        {"", ""},
        {kA + "\xA1", kA + "\xA1"}, // B0 A1 A1: the last A1 is a lone byte, not a double-byte space
        {"x" + kA, "x" + kA},
    };
    for (const auto& c : cases) EXPECT_EQ(Trim(c.text), c.expected) << c.text;
}

TEST(TextParts, LeftRightMidAndNumbers) {
    EXPECT_EQ(Left("abc", 2), "ab");
    EXPECT_EQ(Left("abc", 0), "");
    EXPECT_EQ(Left("abc", -3), "");
    EXPECT_EQ(Left("abc", 9), "abc");
    EXPECT_EQ(Right("abc", 2), "bc");
    EXPECT_EQ(Right("abc", -1), "");
    EXPECT_EQ(Mid("abcdef", 2, 3), "bcd");
    EXPECT_EQ(Mid("abcdef", 5, 9), "ef");
    EXPECT_EQ(Mid("abc", 1, 0), "");
    EXPECT_EQ(Mid("abc", 4, 1), "");
    EXPECT_EQ(NumberText(0), "0");
    EXPECT_EQ(NumberText(37), "37");
    EXPECT_EQ(NumberText(-12), "-12");
    EXPECT_EQ(NumberText(1000000), "1000000");
}

TEST(TextParts, CutToWidthNeverSplitsACharacter) {
    EXPECT_EQ(CutToWidth("abc", 5), "abc");
    EXPECT_EQ(CutToWidth("abc" + kZhong, 4), "abc");
    EXPECT_EQ(CutToWidth("ab" + kZhong, 4), "ab" + kZhong);
    EXPECT_EQ(CutToWidth(kZhong + kZhong, 3), kZhong);
}

TEST(TextReplace, ReplacesEveryOccurrenceOnce) {
    EXPECT_EQ(ReplaceAll("a#引号b#引号", "#引号", "\""), "a\"b\"");
    EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(ReplaceAll("Set-Cookie: x", "set-cookie:", "", true), " x");
}

} // namespace
} // namespace iploc
