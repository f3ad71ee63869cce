#include "regex/regex_object.h"
#include "text/encoding.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace iploc {
namespace {

const char* const kMetaCharset = "<meta.+?charset=[^\\w]?([-\\w]+)";

// Code page 936 text from a UTF-8 literal.
Text Cp(const char* utf8) {
    return Utf8ToText(utf8);
}

TEST(RegexObjectMetaCharset, FindsTheDeclaredCharsetOnOneLineOnly) {
    struct Case {
        Text subject;
        std::int32_t count;
        Text charset;
    } cases[] = {
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">", 1, "gbk"},
        {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CHARSET=GBK\">", 1, "GBK"},
        {"<meta charset=\"utf-8\"><meta charset=big5>", 2, "utf-8"},
        {Cp("<title>中文网页</title><meta charset='gb2312'>"), 1, "gb2312"},
        {"<meta http-equiv=\"Content-Type\"\ncontent=\"text/html; charset=gbk\">", 0, ""},
        {"<meta http-equiv=\"Content-Type\"\r\ncontent=\"text/html; charset=gbk\">", 0, ""},
        {"<meta content=\"text/html;\rcharset=gbk\">", 1, "gbk"}, // the dot matches a lone CR
        {"<html><body>no declaration</body></html>", 0, ""},
        {"", 0, ""},
    };
    for (const auto& c : cases) {
        RegexObject regex;
        EXPECT_TRUE(regex.Execute(kMetaCharset, c.subject)) << c.subject;
        EXPECT_EQ(regex.GetMatchCount(), c.count) << c.subject;
        EXPECT_EQ(regex.GetSubMatchText(1, 1), c.charset) << c.subject;
        EXPECT_EQ(regex.GetSubMatchCount(), c.count > 0 ? 1 : 0) << c.subject;
    }
}

TEST(RegexObjectOptions, MatchCharactersNotBytes) {
    struct Case {
        const char* pattern;
        Text subject;
        bool caseSensitive;
        bool multiline;
        bool global;
        std::int32_t count;
        Text first;
    } cases[] = {
        {"^b", "a\nb", false, true, true, 1, "b"},
        {"^b", "a\nb", false, false, true, 0, ""},
        {"a$", "a\n", false, false, true, 0, ""},   // without multi-line, $ is the very end only
        {"a$", "a\r\nb", false, true, true, 0, ""}, // only LF ends a line
        {"A", "aAa", false, true, true, 3, "a"},
        {"A", "aAa", true, true, true, 1, "A"},
        {"a", "aAa", false, true, false, 1, "a"},
        {"^.$", Cp("中"), false, true, true, 1, Cp("中")},
        {"^..$", Cp("中"), false, true, true, 0, ""},
        {"\\w+", Cp("ab中cd"), false, true, true, 2, "ab"},
        {"[^\\w]+", Cp("ab中文cd"), false, true, true, 1, Cp("中文")},
        {"\\u4e2d|\\x41", Cp("x中A"), true, true, true, 2, Cp("中")},
        {"x*", "abc", false, true, true, 4, ""}, // empty matches move on by one character
        {"[]|b", "abc", false, true, true, 1, "b"},
    };
    for (const auto& c : cases) {
        RegexObject regex;
        ASSERT_TRUE(regex.Execute(c.pattern, c.subject, c.caseSensitive, c.multiline, c.global)) << c.pattern;
        EXPECT_EQ(regex.GetMatchCount(), c.count) << c.pattern;
        EXPECT_EQ(regex.GetMatchText(1), c.first) << c.pattern;
    }
}

TEST(RegexObjectFailures, InvalidPatternLeavesEmptyResults) {
    RegexObject regex;
    EXPECT_EQ(regex.GetPattern(), "") << "no pattern before the first Execute";
    std::int32_t position = 99;
    EXPECT_EQ(regex.GetMatchText(1, &position), "");
    EXPECT_EQ(position, 0) << "a new object's subject is not an empty text";

    ASSERT_TRUE(regex.Execute("(b)", "abc"));
    EXPECT_FALSE(regex.Execute("(abc", "abc"));
    EXPECT_EQ(regex.GetPattern(), "(abc");
    EXPECT_EQ(regex.GetMatchCount(), 0);
    EXPECT_EQ(regex.GetSubMatchCount(), 0);
    EXPECT_EQ(regex.GetSubMatchText(1, 1, &position), "");
    EXPECT_EQ(position, 0);
    EXPECT_EQ(regex.GetMatchText(1), "");
    EXPECT_EQ(regex.Replace("x"), "");

    EXPECT_FALSE(regex.Execute("(*UTF)a", "a")) << "the matching mode cannot be switched from the pattern";
    EXPECT_FALSE(regex.Execute("[a", ""));
    EXPECT_EQ(regex.GetMatchText(1, &position), "");
    EXPECT_EQ(position, -2) << "out of range on an empty subject";
}

TEST(RegexObjectFailures, RunawayBacktrackingEndsAsAFailedRun) {
    // Run on its own thread so that a hang fails the test instead of blocking it.
    auto outcome = std::make_shared<std::promise<std::pair<bool, std::int32_t>>>();
    auto result = outcome->get_future();
    std::thread([outcome] {
        RegexObject regex;
        const bool ok = regex.Execute("x|(a+)+$", "x" + Text(30, 'a') + "b");
        outcome->set_value({ok, regex.GetMatchCount()});
    }).detach();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const auto [ok, count] = result.get();
    EXPECT_FALSE(ok) << "the run cannot be completed, so it is not reported as a success";
    EXPECT_EQ(count, 0) << "no partial match list";

    RegexObject regex;
    EXPECT_TRUE(regex.Execute("(a+)+$", Text(30, 'a'))) << "the same pattern where it can match";
    EXPECT_EQ(regex.GetMatchCount(), 1);
}

TEST(RegexObjectQuoteMarker, StandsForADoubleQuoteOnlyWhenAsked) {
    const Text pattern = Cp("charset=#引号(\\w+)#引号");
    const Text quoted = "charset=\"gbk\"";
    const Text literal = Cp("charset=#引号gbk#引号");
    RegexObject regex;

    ASSERT_TRUE(regex.Execute(pattern, quoted, false, true, true, true));
    EXPECT_EQ(regex.GetSubMatchText(1, 1), "gbk");
    EXPECT_EQ(regex.GetPattern(), "charset=\"(\\w+)\"");
    ASSERT_TRUE(regex.Execute(pattern, literal, false, true, true, true));
    EXPECT_EQ(regex.GetMatchCount(), 0);

    ASSERT_TRUE(regex.Execute(pattern, quoted));
    EXPECT_EQ(regex.GetMatchCount(), 0);
    ASSERT_TRUE(regex.Execute(pattern, literal));
    EXPECT_EQ(regex.GetSubMatchText(1, 1), "gbk");
    EXPECT_EQ(regex.GetPattern(), pattern);
}

TEST(RegexObjectPositions, AreByteOffsetsInTheSubject) {
    struct Case {
        const char* pattern;
        Text subject;
        std::int32_t match;
        std::int32_t subMatch; // 0: the match itself
        Text text;
        std::int32_t position;
    } cases[] = {
        {"t(\\w+)", "one two three", 1, 0, "two", 4},
        {"t(\\w+)", "one two three", 2, 0, "three", 8},
        {"t(\\w+)", "one two three", 2, 1, "hree", 9},
        {"a", "aaa", 2, 0, "a", 1},              // the same text also starts one byte earlier
        {"ab", Cp("中文ab中ab"), 2, 0, "ab", 8}, // unit index 5, byte offset 8
        {"(.)a", Cp("中文ab中ab"), 2, 1, Cp("中"), 6},
        {".", Cp("中文"), 2, 0, Cp("文"), 2},
        {"(x)?b", "ab", 1, 1, "", 1}, // a group that took part in no match: the match's offset
        {"t(\\w+)", "one two three", 3, 0, "", 0},
        {"t(\\w+)", "one two three", 0, 0, "", 0},
        {"t(\\w+)", "one two three", -1, 0, "", 0},
        {"t(\\w+)", "one two three", 1, 2, "", 0},
        {"t(\\w+)", "one two three", 1, -1, "", 0},
        {"t", "", 1, 0, "", -2},
    };
    for (const auto& c : cases) {
        RegexObject regex;
        ASSERT_TRUE(regex.Execute(c.pattern, c.subject)) << c.pattern;
        std::int32_t position = 99;
        const Text text = c.subMatch == 0 ? regex.GetMatchText(c.match, &position)
                                          : regex.GetSubMatchText(c.match, c.subMatch, &position);
        EXPECT_EQ(text, c.text) << c.pattern << " match " << c.match << "." << c.subMatch;
        EXPECT_EQ(position, c.position) << c.pattern << " match " << c.match << "." << c.subMatch;
    }
}

TEST(RegexObjectPositions, MalformedBytesKeepMatchesAligned) {
    // 0xFF stands alone and a lead byte without a valid trail byte is a character of its own.
    const Text subject = "\xFF\x81"
                         "A=\x81\x7F"
                         "b";
    RegexObject regex;
    ASSERT_TRUE(regex.Execute("[=b]", subject));
    std::int32_t position = 0;
    EXPECT_EQ(regex.GetMatchText(1, &position), "=");
    EXPECT_EQ(position, 3);
    EXPECT_EQ(regex.GetMatchText(2, &position), "b");
    EXPECT_EQ(position, 6);
}

TEST(RegexObjectReplace, ExpandsPlaceholders) {
    struct Case {
        Text pattern;
        Text subject;
        bool global;
        Text replacement;
        Text expected;
    } cases[] = {
        {"(\\w)(\\d)", "a1 b2", true, "$2$1", "1a 2b"},
        {"(\\w)(\\d)", "a1 b2", false, "$2$1", "1a b2"},
        {"o", "foo", true, "[$&]", "f[o][o]"},
        {"o", "foo", true, "$$", "f$$"},
        {"b", "abc", true, "$`|$'", "aa|cc"},
        {"(b)", "abc", true, "$0$2$x$", "a$0$2$x$c"}, // no such placeholders: kept as written
        {"(x)?b", "abc", true, "[$1]", "a[]c"},
        {"(b)", "abc", true, "$10", "ab0c"},
        {"x*", "abc", true, "-", "-a-b-c-"},
        {"a", Cp("中a文a"), true, Cp("字"), Cp("中字文字")},
        {Cp("(文)"), Cp("中文字"), true, "<$1>", Cp("中<文>字")},
        {"z", "abc", true, "-", "abc"},
        {"b", "abc", true, "", "ac"},
    };
    for (const auto& c : cases) {
        RegexObject regex;
        ASSERT_TRUE(regex.Execute(c.pattern, c.subject, false, true, c.global)) << c.pattern;
        EXPECT_EQ(regex.Replace(c.replacement), c.expected) << c.pattern << " -> " << c.replacement;
    }
    RegexObject regex;
    ASSERT_TRUE(regex.Execute("b", "abc"));
    EXPECT_EQ(regex.Replace(), "ac") << "an omitted replacement is empty";
}

TEST(RegexObjectCopy, SharesResultsAndKeepsItsSubject) {
    RegexObject original;
    ASSERT_TRUE(original.Execute("(\\d+)", "a1 b22"));
    RegexObject copy(original);
    RegexObject assigned;
    assigned = original;

    ASSERT_TRUE(original.Execute("x", "xyz"));
    for (const RegexObject* regex : {&copy, &assigned}) {
        EXPECT_EQ(regex->GetPattern(), "(\\d+)");
        EXPECT_EQ(regex->GetMatchCount(), 2);
        EXPECT_EQ(regex->GetSubMatchText(2, 1), "22");
        EXPECT_EQ(regex->Replace("#"), "a# b#");
    }
    EXPECT_EQ(original.Replace("#"), "#yz");
    copy.Reserved();
    EXPECT_EQ(copy.GetMatchCount(), 2);
}

} // namespace
} // namespace iploc
