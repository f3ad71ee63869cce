#include "text/encoding.h"
#include "web/text_pieces.h"

#include <gtest/gtest.h>

namespace iploc {
namespace {

// 啊 in code page 936 is B0 A1: its second byte equals the separator A1 used below.
const Text kA = "\xB0\xA1";
const Text kZhong = "\xD6\xD0";

TEST(TextBefore, StartPositionsCaseAndTrailBytes) {
    struct Case {
        Text text, separator;
        std::int64_t start;
        bool ignoreCase;
        Text expected;
    } cases[] = {
        {"a=b=c", "=", 0, false, "a"},
        {"a=b=c", "=", 3, false, "a=b"},  // forward from the third character
        {"a=b=c", "=", 6, false, ""},     // start behind the text
        {"a=b=c", "=", -1, false, "a=b"}, // backward from the very end: the last occurrence
        {"a=b=c", "=", -3, false, "a"},   // backward from the third character counted from the end
        {"a=b=c", "=", -6, false, ""},
        {"a=b=c", "x", 0, false, ""},
        {"a=b=c", "", 0, false, ""},
        {"aXb", "x", 0, false, ""},
        {"aXb", "x", 0, true, "a"},
        {kA + "\xA1"
              "b",
         "\xA1", 0, false, kA}, // the A1 inside 啊 is not a separator
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextBefore(c.text, c.separator, c.start, c.ignoreCase), c.expected)
            << c.text << " / " << c.separator << " from " << c.start;
    }
}

TEST(TextAfter, SearchesBackwardUnlessStartIsNegative) {
    struct Case {
        Text text, separator;
        std::int64_t start;
        bool ignoreCase;
        Text expected;
    } cases[] = {
        {"a=b=c", "=", 0, false, "c"},  {"a=b=c", "=", 3, false, "b=c"},  // only occurrences ending at or
                                                                          // before the third character
        {"a=b=c", "=", 1, false, ""},   {"a=b=c", "=", -1, false, "b=c"}, // forward from the very start: the
                                                                          // first occurrence
        {"a=b=c", "=", -3, false, "c"},                                   // forward from the third character
        {"a=b=c", "=", -9, false, ""},  {"k: v: w", ": ", 0, false, "w"}, {"aXbxc", "x", 0, false, "c"},
        {"aXbxc", "X", 0, true, "c"},   {"aXbxc", "X", 0, false, "bxc"},  {"", "=", 0, false, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextAfter(c.text, c.separator, c.start, c.ignoreCase), c.expected)
            << c.text << " / " << c.separator << " from " << c.start;
    }
}

TEST(TextBetween, MarkersStartAndQuoteWord) {
    const Text quote = Utf8ToText("#引号");
    struct Case {
        Text text, left, right;
        std::int64_t start;
        bool ignoreCase;
        Text expected;
    } cases[] = {
        {"x<a>y<b>", "<", ">", 0, false, "a"},
        {"x<a>y<b>", "<", ">", 4, false, "b"},
        {"x<a>y<b>", "<", ">", -3, false, "b"}, // from the third character counted from the end
        {"x<a>y<b>", "<", "]", 0, false, ""},
        {"x<a>y<b>", "[", ">", 0, false, ""},
        {"<>", "<", ">", 0, false, ""},
        {"<A>x</a>", "<a>", "</A>", 0, true, "x"},
        {"<A>x</a>", "<a>", "</A>", 0, false, ""},
        {"k=\"v\";", "k=" + quote, quote, 0, false, "v"},
        {"Set-Cookie: a=1; b", "Set-Cookie:", ";", 0, false, " a=1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextBetween(c.text, c.left, c.right, c.start, c.ignoreCase), c.expected)
            << c.text << " between " << c.left << " and " << c.right;
    }
}

TEST(SplitCharacters, TwoByteCharactersAndLineBreaks) {
    struct Case {
        Text text;
        TextList expected;
    } cases[] = {
        {"", {}},
        {"ab", {"a", "b"}},
        {"a" + kZhong, {"a", kZhong}},
        {kZhong + "a", {kZhong, "a"}},
        {"a\xD6", {"a", "\xD6"}}, // a lead byte with nothing behind it stands alone
        {"\r\n\r", {"\r\n", "\r"}},
        {"\n\r", {"\n", "\r"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitCharacters(c.text), c.expected) << c.text;
}

TEST(RemoveDuplicateItems, BySeparatorAndByCharacter) {
    EXPECT_EQ(FindItem({"a", "b", "a"}, "a"), 1);
    EXPECT_EQ(FindItem({"a", "b"}, "b"), 2);
    EXPECT_EQ(FindItem({"a", "b"}, "A"), -1);
    EXPECT_EQ(FindItem({}, ""), -1);

    struct Case {
        Text text, separator;
        bool bySeparator;
        Text expected;
    } cases[] = {
        {"a; b; a; b=1", "; ", true, "a; b; b=1"},
        {"a; a", "; ", true, "a"},
        {"", "; ", true, ""},
        {"abca", "", false, "abc"},
        {kZhong + kZhong + "a", ",", false, kZhong + ",a"},
        {"a\r\n\r\n", "|", false, "a|\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RemoveDuplicateItems(c.text, c.separator, c.bySeparator), c.expected) << c.text;
    }
}

} // namespace
} // namespace iploc
