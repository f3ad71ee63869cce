#include "text/encoding.h"

#include <gtest/gtest.h>

namespace iploc {
namespace {

using namespace std::string_literals;

const Text kZhong = "\xD6\xD0"; // 中 in code page 936
const std::string kZhongUtf8 = "\xE4\xB8\xAD";

TEST(Utf16Buffers, AnsiToUtf16TerminatorRules) {
    struct Case {
        Text text;
        bool cutAtNul;
        Bytes expected;
    } cases[] = {
        {"", false, ""},
        {"A", false, "A\0\0\0"s},
        {"A", true, "A\0"s},
        {kZhong, false, "\x2D\x4E\0\0"s},
        {"ab\0cd"s, false, "a\0b\0\0\0"s}, // cut at the first zero byte
        {"\0ab"s, false, ""},
        {"\x80", false, "\xAC\x20\0\0"s}, // 0x80 is the euro sign in code page 936
    };
    for (const auto& c : cases) EXPECT_EQ(AnsiToUtf16(c.text, c.cutAtNul), c.expected) << c.text;
}

TEST(Utf16Buffers, CutUtf16AtNul) {
    struct Case {
        Bytes buffer;
        bool withTerminator;
        Bytes expected;
    } cases[] = {
        {"", true, ""},
        {"a", true, ""},
        {"\0\0a\0"s, true, ""},
        {"a\0b\0c"s, false, "a\0b\0"s}, // 5 bytes, no zero unit: the odd byte is dropped
        {"a\0\0\0b\0"s, true, "a\0\0\0"s},
        {"a\0b\0"s, true, "a\0b\0\0\0"s},
    };
    for (const auto& c : cases) EXPECT_EQ(CutUtf16AtNul(c.buffer, c.withTerminator), c.expected);
}

TEST(Utf16Buffers, ToMultiByteStopsAtFirstZeroUnit) {
    EXPECT_EQ(Utf16ToMultiByte("a\0b\0\0\0c\0"s, 936), "ab");
    EXPECT_EQ(Utf16ToMultiByte("\0\0a\0"s, 936), "");
    EXPECT_EQ(Utf16ToMultiByte("", 65001), "");
    EXPECT_EQ(Utf16ToAnsi("\x2D\x4E\0\0"s), kZhong);
    EXPECT_EQ(Utf16ToText("\x2D\x4E"s, 65001), kZhongUtf8);
    EXPECT_EQ(Utf16ToText("\x2D\x4E"s), kZhong) << "code page 0 is code page 936";
    EXPECT_EQ(Utf16ToMultiByte("a\0"s, 123456), "") << "an unknown code page gives nothing";
}

TEST(Utf16Buffers, UnmappableCharactersBecomeQuestionMarks) {
    // U+0E01 (Thai) and an unpaired surrogate have no code page 936 form.
    EXPECT_EQ(Utf16ToAnsi("\x01\x0E" "a\0"s), "?a");
    EXPECT_EQ(Utf16ToAnsi("\x00\xD8" "a\0"s), "?a");
}

TEST(Utf8ToAnsi, ConvertsAndNeverFails) {
    struct Case {
        std::string utf8;
        Text expected;
    } cases[] = {
        {"", ""},
        {kZhongUtf8, kZhong},
        {"ip=1.2.3.4", "ip=1.2.3.4"},
        {"a\xFF" "b", "a?b"},          // invalid byte: U+FFFD, which code page 936 lacks
        {"\xE4\xB8", "?"},             // truncated sequence
        {"a\0" "\xE4\xB8\xAD"s, "a"},  // cut at the first zero byte
        {"\xE2\x82\xAC", "\x80"},      // euro sign
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8ToAnsi(c.utf8), c.expected) << c.utf8;
    EXPECT_EQ(TextToUtf16("a\xFF"), "a\0\xFD\xFF\0\0"s) << "invalid UTF-8 becomes U+FFFD";
    EXPECT_EQ(TextToUtf16(kZhong, 936), "\x2D\x4E\0\0"s);
}

TEST(EdgeHelpers, RoundTripThroughUtf8AndUtf16) {
    const Text text = "ab" + kZhong + "\xA1\xA1";
    EXPECT_EQ(Utf8ToText(TextToUtf8(text)), text);
    EXPECT_EQ(U16ToText(TextToU16(text)), text);
    EXPECT_EQ(TextToUtf8(kZhong), kZhongUtf8);
    EXPECT_EQ(U16ToUtf8(Utf8ToU16("\xF0\x9F\x98\x80")), "\xF0\x9F\x98\x80");
    EXPECT_EQ(TextToUtf8("a\0b"s), "a\0b"s) << "edge helpers keep zero bytes";
}

TEST(EdgeHelpers, DecodeCharsetKnowsIcuNamesOnly) {
    Text out = "unchanged";
    EXPECT_FALSE(DecodeCharsetToText("abc", "no-such-charset", out));
    EXPECT_EQ(out, "unchanged");
    EXPECT_TRUE(DecodeCharsetToText(kZhongUtf8, "utf-8", out));
    EXPECT_EQ(out, kZhong);
    EXPECT_TRUE(DecodeCharsetToText("\xA4\xA4", "big5", out)); // 中 in Big5
    EXPECT_EQ(out, kZhong);
}

} // namespace
} // namespace iploc
