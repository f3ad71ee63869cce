// Parsing and reading: the lookups' road (Parse, GetText, Clear) and the typed reads.
#include "text/encoding.h"

#include "json/json_object.h"
#include <gtest/gtest.h>

namespace iploc {
namespace {

using namespace std::string_literals;

// Source files are UTF-8; the object speaks code page 936.
Text Cp(const char* utf8) {
    return Utf8ToText(utf8);
}

JsonObject Parsed(const Text& json) {
    JsonObject object;
    EXPECT_TRUE(object.Parse(json)) << json;
    return object;
}

TEST(JsonRead, ServiceAnswer) {
    JsonObject object;
    ASSERT_TRUE(
        object.Parse(Cp(R"({"ip":"1.2.3.4","country":"中国","province":"广东省","city":"","area":null,)"
                        R"("isp":"电信"})")));
    EXPECT_EQ(object.GetText("country"), Cp("中国"));
    EXPECT_EQ(object.GetText("province"), Cp("广东省"));
    EXPECT_EQ(object.GetText("city"), "");
    EXPECT_EQ(object.GetText("area"), "");
    EXPECT_EQ(object.GetText("isp"), Cp("电信"));
    EXPECT_EQ(object.GetText("da.country"), Cp("中国"));
    EXPECT_TRUE(object.Clear());
    EXPECT_EQ(object.GetText("country"), "");
    EXPECT_EQ(object.ToJsonText(), "{}");
}

TEST(JsonRead, TextByKindOfValue) {
    auto object =
        Parsed(R"({"t":"a b","n":12.50,"i":100,"big":1e21,"small":1e-7,"neg":-0,"yes":true,"no":false,)"
               R"("nul":null,"o":{"x":1},"a":[1,"a",null],"nested":[1,[2,3],{"k":4},[]],"e":{}})");
    struct Case {
        const char* path;
        Text plain, json;
    } cases[] = {
        {"t", "a b", R"("a b")"},
        {"n", "12.5", "12.5"},
        {"i", "100", "100"},
        {"big", "1e+21", "1e+21"},
        {"small", "1e-7", "1e-7"},
        {"neg", "0", "0"},
        {"yes", "true", "true"},
        {"no", "false", "false"},
        {"nul", "", "null"},
        {"missing", "", ""},
        {"missing.deeper", "", ""},
        {"nul.deeper", "", ""},
        {"o", "[object Object]", R"({"x":1})"},
        {"a", "1,a,", R"([1,"a",null])"},
        {"nested", "1,2,3,[object Object],", R"([1,[2,3],{"k":4},[]])"},
        {"e", "[object Object]", "{}"},
        {"a[1]", "a", R"("a")"},
        {"o.x", "1", "1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(object.GetText(c.path), c.plain) << c.path;
        EXPECT_EQ(object.GetText(c.path, true), c.json) << c.path;
        EXPECT_EQ(object.GetJsonText(c.path), c.json) << c.path;
    }
    EXPECT_EQ(object.GetText(), "[object Object]");
}

TEST(JsonRead, ParseResultTellsWhetherTheRootHoldsAValue) {
    struct Case {
        Text json;
        bool accepted;
        Text rootText;
    } cases[] = {
        {"0", true, "0"},
        {"false", true, "false"},
        {"[1,2]", true, "1,2"},
        {R"("1+2")", true, "1+2"}, // a top-level string stays a string
        {" \t\r\n{} ", true, "[object Object]"},
        {"null", false, ""},
        {"", false, ""},
        {R"({"country")", false, ""},
        {"{}\0garbage"s, true, "[object Object]"}, // the text ends at its first zero byte
    };
    for (const auto& c : cases) {
        JsonObject object;
        EXPECT_EQ(object.Parse(c.json), c.accepted) << c.json;
        EXPECT_EQ(object.GetText(), c.rootText) << c.json;
    }
    EXPECT_EQ(Parsed("[1,2]").GetText("[1]"), "2");
}

TEST(JsonRead, FailedParseLeavesNullUntilClear) {
    for (const Text json : {"null", "", R"({"country")"}) {
        auto object = Parsed(R"({"country":"x"})");
        EXPECT_FALSE(object.Parse(json)) << json;
        EXPECT_EQ(object.GetText("country"), "");
        EXPECT_EQ(object.GetText(), "");
        EXPECT_EQ(object.GetText("", true), "null");
        EXPECT_EQ(object.GetType(), 0);
        EXPECT_EQ(object.GetType("country"), -1);
        EXPECT_TRUE(object.Clear());
        EXPECT_EQ(object.ToJsonText(), "{}");
        EXPECT_EQ(object.GetType(), 4);
    }
}

TEST(JsonRead, SecondParseReplacesTheWholeDocument) {
    auto object = Parsed(R"({"country":"a","city":"b"})");
    ASSERT_TRUE(object.Parse(R"({"country":"c"})"));
    EXPECT_EQ(object.GetText("country"), "c");
    EXPECT_EQ(object.GetText("city"), "");
    EXPECT_EQ(object.ToJsonText(), R"({"country":"c"})");
}

TEST(JsonRead, CopiesShareTheDocumentUntilParse) {
    JsonObject object;
    ASSERT_TRUE(object.Parse(R"({"a":1})"));
    JsonObject copy(object);
    object.SetValue("b", "x");
    EXPECT_EQ(copy.GetText("b"), "x") << "a copy sees changes";
    EXPECT_EQ(copy.GetEngine(), object.GetEngine());
    ASSERT_TRUE(object.Parse(R"({"c":2})"));
    EXPECT_EQ(copy.ToJsonText(), R"({"a":1,"b":"x"})") << "an earlier copy keeps the old document";
    EXPECT_NE(copy.GetEngine(), object.GetEngine());
    copy.Clear();
    EXPECT_EQ(object.ToJsonText(), R"({"c":2})");
    JsonObject assigned;
    assigned = object;
    object.Clear();
    EXPECT_EQ(assigned.ToJsonText(), "{}");
    object.SetUpEngine();
    object.SetValue("d", "1");
    EXPECT_EQ(assigned.ToJsonText(), "{}") << "SetUpEngine gives a fresh document too";
}

TEST(JsonRead, CharacterConversions) {
    // \u escapes are decoded; U+0E01 (Thai) and U+1F600 have no code page 936 form.
    auto object = Parsed(Cp(R"({"esc":"\u4e2d\u56fd","e":"caf\u00e9\u0e01","emoji":"\ud83d\ude00!",)"
                            R"("raw":"€","ab":"a\\b","ctl":"\u0001\u200d\n","q":"\"\/"})"));
    EXPECT_EQ(object.GetText("esc"), Cp("中国"));
    EXPECT_EQ(object.GetText("e"), Cp("café?"));
    EXPECT_EQ(object.GetText("emoji"), "?!");
    EXPECT_EQ(object.GetText("raw"), "\x80") << "0x80 is the euro sign in code page 936";
    EXPECT_EQ(object.GetText("ab"), "a\\b");
    EXPECT_EQ(object.GetText("ab", true), R"("a\\b")");
    EXPECT_EQ(object.GetText("esc", true), Cp(R"("中国")"));
    // The escape class is written as lowercase \u escapes, the short escapes as such.
    EXPECT_EQ(object.GetText("ctl", true), R"("\u0001\u200d\n")");
    EXPECT_EQ(object.GetText("q", true), R"("\"/")");
}

TEST(JsonRead, TypeCodes) {
    auto object = Parsed(R"({"t":"x","n":1,"b":false,"o":{},"a":[],"z":null})");
    struct Case {
        const char* path;
        int code;
    } cases[] = {
        {"t", 6}, {"n", 2},          {"b", 1},    {"o", 4},   {"a", 5},    {"z", 0},    {"missing", 0},
        {"", 4},  {"missing.x", -1}, {"z.x", -1}, {"t.x", 0}, {"a[0]", 0}, {"a b", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(object.GetType(c.path), c.code) << c.path;
}

TEST(JsonRead, MemberNamesAndCounts) {
    auto object = Parsed(R"({"a":1,"b":{"x\r\ny":1,"":2},"c":[1,2,3],"a":4})");
    TextList names{"stale"};
    EXPECT_EQ(object.GetMemberNames(names), 3);
    EXPECT_EQ(names, (TextList{"a", "b", "c"})) << "a repeated name keeps its first place";
    EXPECT_EQ(object.GetText("a"), "4") << "and takes the last value";
    // Every name comes back whole, also one holding a line break and an empty last one.
    EXPECT_EQ(object.GetMemberNames(names, "b"), 2);
    EXPECT_EQ(names, (TextList{"x\r\ny", ""}));
    EXPECT_EQ(object.GetMemberNames(names, "c"), 0);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(object.GetCount("c"), 3);
    EXPECT_EQ(object.GetCount("b"), 0);
    EXPECT_EQ(object.GetCount("a"), 0);
    EXPECT_EQ(object.GetCount("missing.x"), 0);
}

TEST(JsonRead, NumbersFromValues) {
    auto object = Parsed(R"({"n":2.5,"t":"12","sp":" -1.5e2 ","word":"12a","hex":"0x10","inf":"Infinity",)"
                         R"("yes":true,"no":false,"o":{"x":1},"a":[5],"z":null})");
    struct Case {
        const char* path;
        double number;
    } cases[] = {
        {"n", 2.5},  {"t", 12}, {"sp", -150}, {"word", 0}, {"hex", 0}, {"inf", 0},
        {"yes", -1}, {"no", 0}, {"o", 0},     {"a", 0},    {"z", 0},   {"missing", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(object.GetNumber(c.path), c.number) << c.path;
}

TEST(JsonRead, ArrayMembers) {
    auto object = Parsed(R"({"a":["x",7,{"k":"v"},null],"o":{"0":"zero"}})");
    EXPECT_EQ(object.ArrayGetText(0, "a"), "x");
    EXPECT_EQ(object.ArrayGetText(1, "a"), "") << "only text members read as plain text";
    EXPECT_EQ(object.ArrayGetText(1, "a", true), "7");
    EXPECT_EQ(object.ArrayGetText(2, "a", true), R"({"k":"v"})");
    EXPECT_EQ(object.ArrayGetText(3, "a", true), "null");
    EXPECT_EQ(object.ArrayGetText(9, "a", true), "");
    EXPECT_EQ(object.ArrayGetText(-1, "a", true), "");
    EXPECT_EQ(object.ArrayGetText(0, "o"), "zero") << "an index on an object names a member";
    EXPECT_EQ(object.ArrayGetObject(2, "a").GetText("k"), "v");
    EXPECT_EQ(object.ArrayGetObject(9, "a").GetType(), 0);
}

TEST(JsonRead, GetObjectIsAnIndependentCopy) {
    auto object = Parsed(R"({"o":{"x":"1","in":{"y":[1,2]}},"t":"text","n":5})");
    auto sub = object.GetObject("o");
    EXPECT_EQ(sub.GetText("x"), "1");
    EXPECT_EQ(sub.GetText("in.y"), "1,2");
    sub.SetValue("x", "changed");
    object.SetValue("o.in.y", "also changed");
    EXPECT_EQ(object.GetText("o.x"), "1");
    EXPECT_EQ(sub.GetText("in.y"), "1,2");
    EXPECT_EQ(object.GetObject("t").GetText(), "text") << "a text stays a text";
    EXPECT_EQ(object.GetObject("n").GetNumber(), 5);
    auto none = object.GetObject("missing");
    EXPECT_EQ(none.GetType(), 0);
    EXPECT_EQ(none.ToJsonText(), "null");
    // The copy is what JSON text would carry: holes become null.
    object.AssignJson("h", "[1,2,3]");
    object.Remove("h[1]");
    EXPECT_EQ(object.GetObject("h").ToJsonText(), "[1,null,3]");
}

TEST(JsonRead, LeafValues) {
    auto object = Parsed(R"({"t":"x","o":{"y":"y","deep":[true,{"z":2.5}]},"n":3,"z":null,"last":""})");
    TextList values{"stale"};
    EXPECT_EQ(object.GetLeafValues(values), 3);
    EXPECT_EQ(values, (TextList{"x", "3", ""})) << "an empty last value is kept";
    EXPECT_EQ(object.GetLeafValues(values, "", true), 6);
    EXPECT_EQ(values, (TextList{"x", "y", "true", "2.5", "3", ""}));
    EXPECT_EQ(object.GetLeafValues(values, "o.deep"), 1);
    EXPECT_EQ(values, (TextList{"true"}));
    EXPECT_EQ(object.GetLeafValues(values, "t"), 0);
    EXPECT_TRUE(values.empty());
    // A value holding the separator the values were once joined with stays whole.
    const Text separator = Cp("[2020年7月20日20时0分0秒]");
    ASSERT_TRUE(object.SetValue("t", "a" + separator + "b"));
    object.GetLeafValues(values);
    EXPECT_EQ(values.front(), "a" + separator + "b");
}

} // namespace
} // namespace iploc
