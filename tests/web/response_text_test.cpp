#include "text/encoding.h"
#include "web/response_text.h"

#include <gtest/gtest.h>

namespace iploc {
namespace {

using namespace std::string_literals;

Text Cp(const char* utf8) {
    return Utf8ToText(utf8);
}

const std::string kTitleUtf8 = "<title>\xE4\xB8\xAD\xE6\x96\x87</title>"; // 中文 in UTF-8

Bytes Page(const std::string& head, const std::string& rest) {
    return "<html><head>" + head + rest;
}

TEST(ResponseText, PlainBodiesEndAtTheFirstZeroByte) {
    struct Case {
        Bytes body;
        Text expected;
    } cases[] = {
        {"", ""},
        {"{\"country\":\"\xE4\xB8\xAD\"}"s,
         "{\"country\":\"\xE4\xB8\xAD\"}"}, // no declaration: bytes as they came
        {"abc\0def"s, "abc"},
        {Cp("中文") + "\0<meta charset=utf-8>"s, Cp("中文")}, // a declaration after the zero byte is not seen
    };
    for (const auto& c : cases) {
        RegexObject regex;
        EXPECT_EQ(ResponseText(c.body, regex), c.expected) << c.body;
    }
}

TEST(ResponseText, DecodesTheCharsetDeclaredInTheFirst1024Bytes) {
    const std::string filler(1100, ' ');
    const Text title = Cp("<title>中文</title>");
    struct Case {
        const char* what;
        Bytes body;
        Text expected;
    } cases[] = {
        {"utf-8", Page("<meta charset=\"utf-8\">", kTitleUtf8), Page("<meta charset=\"utf-8\">", title)},
        {"big5", Page("<meta charset=big5>", "\xA4\xA4\xA4\xE5"), Page("<meta charset=big5>", Cp("中文"))},
        {"past byte 1024", Page(filler + "<meta charset=utf-8>", kTitleUtf8),
         Page(filler + "<meta charset=utf-8>", kTitleUtf8)},
        {"cut by the 1024-byte limit",
         Page(std::string(990, ' ') + "<meta http-equiv=x content=\"charset=utf-8\">", kTitleUtf8),
         Page(std::string(990, ' ') + "<meta http-equiv=x content=\"charset=utf-8\">", kTitleUtf8)},
        {"zero byte in a decoded page", Page("<meta charset=utf-8>", kTitleUtf8 + "\0tail"s),
         Page("<meta charset=utf-8>", title)},
        {"byte-order mark", "\xEF\xBB\xBF" + Page("<meta charset=UTF-8>", kTitleUtf8),
         Page("<meta charset=UTF-8>", title)},
        {"unknown charset", Page("<meta charset=x-no-such-charset>", kTitleUtf8 + "\0tail"s),
         Page("<meta charset=x-no-such-charset>", kTitleUtf8)},
    };
    for (const auto& c : cases) {
        RegexObject regex;
        EXPECT_EQ(ResponseText(c.body, regex), c.expected) << c.what;
    }
}

TEST(ResponseText, OnlyExactLowerCaseGbkNamesSkipTheDecoder) {
    // A malformed pair shows whether the body went through the decoder: decoding turns
    // the lone lead byte 0x81 into "?".
    const Text body = Cp("<meta charset=%s><p>中文</p>") + "\x81\x7F";
    struct Case {
        const char* charset;
        bool decoded;
    } cases[] = {{"gbk", false}, {"gb2312", false}, {"GBK", true}, {"GB2312", true}, {"Gbk", true}};
    for (const auto& c : cases) {
        const Text page = ReplaceAll(body, "%s", c.charset);
        const Text wellFormed = page.substr(0, page.size() - 2);
        RegexObject regex;
        EXPECT_EQ(ResponseText(wellFormed, regex), wellFormed) << c.charset;
        EXPECT_EQ(regex.GetSubMatchText(1, 1), c.charset) << "the regex keeps the search's results";
        EXPECT_EQ(ResponseText(page, regex), c.decoded ? wellFormed + "?\x7F" : page) << c.charset;
    }
}

} // namespace
} // namespace iploc
