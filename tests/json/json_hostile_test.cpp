// Input from the network is untrusted: malformed, huge or deeply nested text must end in a
// clean false, never in script evaluation, a crash or a hang.
#include "text/encoding.h"

#include "json/json_object.h"
#include "json/json_parser.h"
#include <gtest/gtest.h>
#include <string>

namespace iploc {
namespace {

using namespace std::string_literals;

std::string Repeat(const std::string& piece, int count) {
    std::string out;
    out.reserve(piece.size() * count);
    for (int i = 0; i < count; ++i)
        out += piece;
    return out;
}

TEST(JsonHostile, NonJsonIsRejectedNotEvaluated) {
    for (const Text text : {"NaN",
                            "Infinity",
                            "-Infinity",
                            "nan",
                            "1e999",
                            "-1e999",
                            "0x10",
                            "+1",
                            "01",
                            ".5",
                            "1.",
                            "undefined",
                            "'single'",
                            "{a:1}",
                            "[1,]",
                            R"({"a":1,})",
                            "[1] // comment",
                            "/* c */ 1",
                            "1+2",
                            "alert(1)",
                            R"({"a":1}{"b":2})",
                            "[1] x",
                            "\"\\ud800\"",
                            "\"tab\there\"",
                            "\"\\x41\"",
                            "tru",
                            "[",
                            "}",
                            "\""}) {
        JsonObject object;
        ScriptErrorInfo info;
        EXPECT_FALSE(object.Parse(text, false, &info)) << text;
        EXPECT_NE(info.Number, 0) << text;
        EXPECT_FALSE(info.Description.empty()) << text;
        EXPECT_EQ(object.GetType(), 0) << text;
        EXPECT_FALSE(object.AssignJson("x", text)) << text;
        EXPECT_FALSE(object.ArrayAdd(text, "x", true)) << text;
    }
}

TEST(JsonHostile, ErrorInfoLocatesTheFirstError) {
    struct Case {
        Text text;
        int number, line, column;
    } cases[] = {
        {R"({"a":})", kJsonSyntaxError, 1, 6},
        {R"({"country")", kJsonSyntaxError, 1, 11}, // just past the end
        {"", kJsonSyntaxError, 1, 1},
        {Utf8ToText("{\n  \"国家\": tru }"), kJsonSyntaxError, 2, 12}, // columns count characters
        {"[1,\n2,\n1e999]", kJsonNumberOutOfRange, 3, 5},
        {Repeat("[", 600), kJsonNestingTooDeep, 1, kMaxJsonNesting + 1},
    };
    for (const auto& c : cases) {
        JsonObject object;
        ScriptErrorInfo info;
        info.Source = "stale";
        EXPECT_FALSE(object.Parse(c.text, false, &info));
        EXPECT_EQ(info.Number, c.number) << c.text;
        EXPECT_EQ(info.Line, c.line) << c.text;
        EXPECT_EQ(info.Column, c.column) << c.text;
        EXPECT_EQ(info.Source, "") << "every field is rewritten";
        // Accepted text clears the record.
        EXPECT_TRUE(object.Parse("{}", false, &info));
        EXPECT_EQ(info.Number, 0);
        EXPECT_EQ(info.Description, "");
        EXPECT_EQ(info.Line, 0);
    }
    ScriptErrorInfo info;
    JsonObject object;
    object.Parse(R"({"a":})", true, &info);
    EXPECT_NE(info.Description.find("unexpected '}'"), Text::npos) << info.Description;
}

TEST(JsonHostile, DeepNestingFailsCleanly) {
    JsonObject object;
    EXPECT_FALSE(object.Parse(Repeat("[", 100000)));
    EXPECT_FALSE(object.Parse(Repeat("[", 100000) + Repeat("]", 100000)));
    EXPECT_FALSE(object.Parse(Repeat(R"({"a":)", 100000) + "1" + Repeat("}", 100000)));
    EXPECT_FALSE(object.Parse(Repeat("[", kMaxJsonNesting + 1) + Repeat("]", kMaxJsonNesting + 1)));
    // Exactly at the limit the document is usable: written, copied, read and freed.
    ASSERT_TRUE(object.Parse(Repeat(R"({"a":)", kMaxJsonNesting) + "1" + Repeat("}", kMaxJsonNesting)));
    const Text json = object.ToJsonText();
    EXPECT_EQ(json.size(), 5u * kMaxJsonNesting + 1 + kMaxJsonNesting);
    EXPECT_EQ(object.GetObject().ToJsonText(), json);
    TextList values;
    EXPECT_EQ(object.GetLeafValues(values, "", true), 1);
    EXPECT_TRUE(object.SetValue("", json, true)) << "merging into itself at the root";
}

TEST(JsonHostile, HugeStrings) {
    const std::string big(10 * 1024 * 1024, 'x');
    JsonObject object;
    ASSERT_TRUE(object.Parse(R"({"s":")" + big + R"(","t":1})"));
    EXPECT_EQ(object.GetText("s"), big);
    EXPECT_EQ(object.GetText("t"), "1");
    EXPECT_EQ(object.ToJsonText().size(), big.size() + 14);
    // Two-byte characters all the way, and an unterminated one.
    const Text wide = Repeat(Utf8ToText("中"), 1024 * 1024);
    ASSERT_TRUE(object.Parse("[\"" + wide + "\"]"));
    EXPECT_EQ(object.GetText("[0]"), wide);
    EXPECT_FALSE(object.Parse("[\"" + wide));
}

TEST(JsonHostile, BytesThatAreNotCodePage936) {
    // A lone lead byte, a byte that begins nothing, UTF-8 read as code page 936, and a zero byte.
    for (const Text& inside : {"ab\x81"s, "\xFE"s, "\xE4\xB8\xAD\xE6\x96\x87"s, "a\x81\"b"s}) {
        JsonObject object;
        const Text json = "{\"s\":\"" + inside + "\",\"n\":1}";
        if (!object.Parse(json)) continue; // a lead byte may swallow the closing quote
        EXPECT_EQ(object.GetText("n"), "1") << json;
        // Whatever the text decoded to, the document writes valid JSON that reads back the same.
        JsonObject again;
        ASSERT_TRUE(again.Parse(object.ToJsonText())) << object.ToJsonText();
        EXPECT_EQ(again.GetText("s"), object.GetText("s"));
    }
    JsonObject object;
    ASSERT_TRUE(object.Parse("{\"s\":\"ab\xFE\"}"));
    EXPECT_EQ(object.GetText("s"), "ab?");
    EXPECT_EQ(object.GetText("s", true), "\"ab\\ufffd\"");
}

TEST(JsonHostile, ManyMembersAndRepeatedNames) {
    std::string json = "{";
    for (int i = 0; i < 100000; ++i)
        json += "\"k" + std::to_string(i % 50000) + "\":" + std::to_string(i) + ",";
    json += "\"last\":true}";
    JsonObject object;
    ASSERT_TRUE(object.Parse(json));
    TextList names;
    EXPECT_EQ(object.GetMemberNames(names), 50001);
    EXPECT_EQ(names[1], "k1");
    EXPECT_EQ(object.GetText("k1"), "50001") << "a repeated name overwrites in place";
    EXPECT_TRUE(object.Remove("k0"));
    EXPECT_EQ(object.GetText("k49999"), "99999");
    EXPECT_EQ(object.GetText("last"), "true");
    EXPECT_EQ(object.GetMemberNames(names), 50000);
}

} // namespace
} // namespace iploc
