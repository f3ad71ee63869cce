// Building and changing documents: stores, merges, arrays, removal.
#include "json/json_object.h"
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace iploc {
namespace {

JsonObject Parsed(const Text& json) {
    JsonObject object;
    EXPECT_TRUE(object.Parse(json)) << json;
    return object;
}

TEST(JsonEdit, NewObjectAndParsedOrder) {
    JsonObject object;
    EXPECT_EQ(object.ToJsonText(), "{}");
    ASSERT_TRUE(object.Parse("{ \"z\" : 1,\n \"a\" : [ true , null ], \"m\" : { } }"));
    EXPECT_EQ(object.ToJsonText(), R"({"z":1,"a":[true,null],"m":{}})");
}

TEST(JsonEdit, TextsAreStoredExactly) {
    // Quotes, line breaks and backslashes, a final backslash included.
    const Text tricky = "it's \"q\" a\\b\r\n\\d\\";
    auto object = Parsed(R"({"keep":1})");
    ASSERT_TRUE(object.SetValue("v", tricky));
    EXPECT_EQ(object.GetText("v"), tricky);
    EXPECT_EQ(object.ToJsonText(), R"({"keep":1,"v":"it's \"q\" a\\b\r\n\\d\\"})") << "valid JSON text";
    TextList values;
    object.GetLeafValues(values);
    EXPECT_EQ(values.back(), tricky);
    EXPECT_EQ(object.GetObject().GetText("v"), tricky);
    JsonObject reparsed;
    ASSERT_TRUE(reparsed.Parse(object.ToJsonText()));
    EXPECT_EQ(reparsed.GetText("v"), tricky);
    // ArrayAdd and ArraySet store the text as a text, whatever it holds.
    ASSERT_TRUE(object.ArrayAdd(tricky, "list"));
    ASSERT_TRUE(object.ArrayAdd("'", "list"));
    EXPECT_EQ(object.ArrayGetText(0, "list"), tricky);
    EXPECT_EQ(object.ArrayGetText(1, "list"), "'");
    ASSERT_TRUE(object.ArraySet(1, "list", "x\\"));
    EXPECT_EQ(object.ArrayGetText(1, "list"), "x\\");
}

TEST(JsonEdit, SetValueOnMissingAndNull) {
    auto object = Parsed(R"({"z":null})");
    EXPECT_TRUE(object.SetValue("m", "text"));
    EXPECT_TRUE(object.SetValue("z", "was null"));
    EXPECT_TRUE(object.SetValue("mj", R"({"k":1})", true));
    EXPECT_TRUE(object.SetValue("z2", "[1]", true));
    EXPECT_FALSE(object.SetValue("no.such.parent", "x"));
    EXPECT_FALSE(object.SetValue("m.x", "x")) << "a text has no members to store";
    EXPECT_EQ(object.ToJsonText(), R"({"z":"was null","m":"text","mj":{"k":1},"z2":[1]})");
}

TEST(JsonEdit, SetValueJsonMerges) {
    struct Case {
        const char* before;
        const char* value;
        const char* after;
    } cases[] = {
        {R"({"a":1})", R"({"b":2})", R"({"a":1,"b":2})"},
        {R"({"t":"x","l":true})", R"({"t":"y","l":false})", R"({"t":"y","l":false})"},
        {R"({"o":{"x":1,"y":2}})", R"({"o":{"y":3,"z":4}})", R"({"o":{"x":1,"y":3,"z":4}})"},
        {R"({"a":[1,2]})", R"({"a":[3]})", R"({"a":[1,2,3]})"},
        {R"({"n":1,"m":2})", R"({"n":5})", R"({"n":5,"m":2})"},    // numbers are overwritten
        {R"({"z":null})", R"({"z":{"k":1}})", R"({"z":{"k":1}})"}, // so is null
        {R"({"o":{"x":1}})", R"({"o":5})", R"({"o":{"x":1}})"},    // a scalar does not replace an object
        {R"({"a":[1]})", R"({"a":{"k":1}})", R"({"a":[1]})"},      // nor an object an array
        {R"({"a":1})", "[7,8]", R"({"a":1,"0":7,"1":8})"},         // array members merge by index
        {R"({"a":1})", "", R"({"a":1})"},                          // an empty value merges nothing
        {R"({"a":1})", "5", R"({"a":1})"},
    };
    for (const auto& c : cases) {
        auto object = Parsed(R"({"doc":)" + std::string(c.before) + "}");
        EXPECT_TRUE(object.SetValue("doc", c.value, true)) << c.before << " + " << c.value;
        EXPECT_EQ(object.GetText("doc", true), c.after) << c.before << " + " << c.value;
    }
}

TEST(JsonEdit, SetValueJsonReplacesAnythingButAnObject) {
    struct Case {
        const char* before;
        const char* value;
        bool result;
        const char* after; // the document's JSON text
    } cases[] = {
        {R"({"doc":[1]})", "[2]", true, R"({"doc":[2]})"},
        {R"({"doc":"t"})", R"({"k":1})", true, R"({"doc":{"k":1}})"},
        {R"({"doc":null})", R"("text")", true, R"({"doc":"text"})"},
        {R"({})", "0", false, R"({"doc":0})"}, // stored; a zero reads as false
        {R"({})", "false", false, R"({"doc":false})"},
        {R"({})", "2", true, R"({"doc":2})"},
        {R"({})", "null", true, R"({"doc":null})"},
        {R"({"doc":1})", "", false, R"({})"}, // an empty value makes the member missing
        {R"({"doc":1})", "{bad", false, R"({"doc":1})"},
        {R"({"doc":1})", "alert(1)", false, R"({"doc":1})"},
        {R"({"doc":{}})", "{bad", false, R"({"doc":{}})"},
    };
    for (const auto& c : cases) {
        auto object = Parsed(c.before);
        EXPECT_EQ(object.SetValue("doc", c.value, true), c.result) << c.before << " <- " << c.value;
        EXPECT_EQ(object.ToJsonText(), c.after) << c.before << " <- " << c.value;
    }
    // The root itself: an object merges (array members by index), a null root is replaced.
    JsonObject object;
    EXPECT_TRUE(object.SetValue("", "[1]", true));
    EXPECT_EQ(object.ToJsonText(), R"({"0":1})");
    EXPECT_FALSE(object.Parse("null"));
    EXPECT_TRUE(object.SetValue("", "[1]", true));
    EXPECT_EQ(object.ToJsonText(), "[1]");
}

TEST(JsonEdit, AssignJson) {
    auto object = Parsed(R"({"a":{"x":1}})");
    EXPECT_TRUE(object.AssignJson("a", R"({"y":2})"));
    EXPECT_EQ(object.ToJsonText(), R"({"a":{"y":2}})") << "assigned, not merged";
    EXPECT_TRUE(object.AssignJson("s", R"("1+2")"));
    EXPECT_EQ(object.GetText("s"), "1+2");
    EXPECT_FALSE(object.AssignJson("a", "1+2"));
    EXPECT_FALSE(object.AssignJson("a", "{'y':2}"));
    EXPECT_FALSE(object.AssignJson("missing.x", "1"));
    EXPECT_FALSE(object.AssignJson("a", ""));
    EXPECT_EQ(object.GetType("a"), 0);
    TextList names;
    EXPECT_EQ(object.GetMemberNames(names), 2) << "a member assigned nothing is still a member";
    EXPECT_EQ(object.ToJsonText(), R"({"s":"1+2"})") << "but JSON text leaves it out";
}

TEST(JsonEdit, ArrayAdd) {
    JsonObject object;
    EXPECT_TRUE(object.ArrayAdd("x", "list"));
    EXPECT_TRUE(object.ArrayAdd("y", "list"));
    EXPECT_TRUE(object.ArrayAdd("w", "list", false, true));
    EXPECT_TRUE(object.ArrayAdd(R"({"k":[1]})", "list", true));
    EXPECT_EQ(object.GetText("list", true), R"(["w","x","y",{"k":[1]}])");
    EXPECT_FALSE(object.ArrayAdd("{bad", "list", true));
    EXPECT_FALSE(object.ArrayAdd("x", "missing.list"));
    EXPECT_EQ(object.GetCount("list"), 4);
    // Anything but an array is replaced by a new one first.
    ASSERT_TRUE(object.SetValue("t", "text"));
    EXPECT_TRUE(object.ArrayAdd("1", "t", true));
    EXPECT_EQ(object.GetText("t", true), "[1]");
    // An empty raw value adds nothing: the result says whether the array has members.
    EXPECT_FALSE(object.ArrayAdd("", "fresh", true));
    EXPECT_EQ(object.GetText("fresh", true), "[]");
    EXPECT_TRUE(object.ArrayAdd("", "list", true));
    EXPECT_TRUE(object.ArrayAdd("", "fresh"));
    EXPECT_EQ(object.GetText("fresh", true), R"([""])");
    EXPECT_TRUE(object.ArrayAdd("r", "", false));
    EXPECT_EQ(object.ToJsonText(), R"(["r"])") << "an empty path is the root";
}

TEST(JsonEdit, ArraySetAndRemove) {
    auto object = Parsed(R"({"a":["p","q"],"o":{}})");
    EXPECT_TRUE(object.ArraySet(0, "a", "P"));
    EXPECT_TRUE(object.ArraySet(3, "a", "[true]", true));
    EXPECT_EQ(object.GetText("a", true), R"(["P","q",null,[true]])") << "a hole before the new member";
    EXPECT_EQ(object.GetCount("a"), 4);
    EXPECT_FALSE(object.ArraySet(1, "a", "0", true)) << "stored, a zero reads as false";
    EXPECT_EQ(object.GetNumber("a[1]"), 0);
    EXPECT_FALSE(object.ArraySet(-1, "a", "x"));
    EXPECT_FALSE(object.ArraySet(0, "a", "", true));
    EXPECT_FALSE(object.ArraySet(0, "a", "nope", true));
    EXPECT_FALSE(object.ArraySet(0, "missing", "x"));
    EXPECT_TRUE(object.ArraySet(2, "o", "x")) << "an index on an object names a member";
    EXPECT_EQ(object.GetText("o", true), R"({"2":"x"})");

    auto two = Parsed(R"(["a","b"])");
    EXPECT_TRUE(two.ArrayRemove(0));
    EXPECT_EQ(two.ToJsonText(), R"(["b"])");
    EXPECT_FALSE(two.ArrayRemove(1));
    auto three = Parsed("[1,2,3]");
    EXPECT_TRUE(three.ArrayRemove(-1)) << "a negative index counts from the end";
    EXPECT_TRUE(three.ArrayRemove(-5)) << "and stops at the start";
    EXPECT_EQ(three.ToJsonText(), "[2]");
    EXPECT_FALSE(object.ArrayRemove(0, "o"));
    EXPECT_FALSE(object.ArrayRemove(0, "missing.x"));
}

TEST(JsonEdit, Remove) {
    auto object = Parsed(R"({"a":1,"b":[1,2,3],"c":{"d":1},"t":"x"})");
    EXPECT_TRUE(object.Remove("a"));
    EXPECT_TRUE(object.Remove("b[1]"));
    EXPECT_TRUE(object.Remove("c.d"));
    EXPECT_EQ(object.ToJsonText(), R"({"b":[1,null,3],"c":{},"t":"x"})");
    EXPECT_EQ(object.GetCount("b"), 3) << "a removed array member leaves a hole";
    EXPECT_EQ(object.GetType("b[1]"), 0);
    EXPECT_EQ(object.GetText("b"), "1,,3");
    EXPECT_TRUE(object.Remove("nothing")) << "nothing to remove from an existing object";
    EXPECT_FALSE(object.Remove("no.parent"));
    EXPECT_FALSE(object.Remove("")) << "the root cannot be removed";
    EXPECT_FALSE(object.Remove("da"));
    EXPECT_EQ(object.GetType(), 4);
}

TEST(JsonEdit, Numbers) {
    JsonObject object;
    EXPECT_FALSE(object.SetNumber("zero", 0)) << "stored, reported as false";
    EXPECT_TRUE(object.SetNumber("half", 2.5));
    EXPECT_TRUE(object.SetNumber("third", 1.0 / 3));
    EXPECT_TRUE(object.SetNumber("sum", 0.1 + 0.2));
    EXPECT_TRUE(object.SetNumber("big", 1e21));
    EXPECT_TRUE(object.SetNumber("neg", -123456789012345.0));
    EXPECT_FALSE(object.SetNumber("nan", std::nan("")));
    EXPECT_FALSE(object.SetNumber("inf", std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(object.SetNumber("no.parent", 1));
    EXPECT_EQ(
        object.ToJsonText(),
        R"({"zero":0,"half":2.5,"third":0.3333333333333,"sum":0.3,"big":1e+21,"neg":-123456789012300})");
    EXPECT_EQ(object.GetNumber("half"), 2.5);
    EXPECT_EQ(object.GetText("third"), "0.3333333333333");
}

TEST(JsonEdit, WritesCannotExceedTheNestingLimit) {
    JsonObject object;
    std::string deep = "1";
    for (int i = 0; i < 400; ++i)
        deep = "[" + deep + "]";
    ASSERT_TRUE(object.AssignJson("a", deep));
    Text path = "a";
    for (int i = 0; i < 399; ++i)
        path += "[0]";
    EXPECT_EQ(object.GetText(path), "1");
    EXPECT_FALSE(object.AssignJson(path, deep)) << "400 levels below level 400";
    EXPECT_FALSE(object.ArrayAdd(deep, path, true));
    EXPECT_TRUE(object.AssignJson(path, "[[1]]"));
    EXPECT_EQ(object.GetText(path), "1");
}

} // namespace
} // namespace iploc
