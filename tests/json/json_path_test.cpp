// Paths: the resolution rule and the member chain forms.
#include "text/encoding.h"

#include "json/json_object.h"
#include <gtest/gtest.h>

namespace iploc {
namespace {

class JsonPathTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(object_.Parse(Utf8ToText(R"({"city":"c","zip":null,"a":{"b":[{"c":"deep"}]},"a b":1,)"
                                             R"("q'\"":2,"da":{"zip":"inner"},"data":"d","中":"zh",)"
                                             R"("0":"zero","$_x1":3,"list":["l0","l1","l2"]})")));
    }
    JsonObject object_;
};

TEST_F(JsonPathTest, ResolutionRule) {
    struct Case {
        Text path, resolved;
        bool holdsValue;
    } cases[] = {
        {"city", "da.city", true},
        {"", "da", true},
        {"[2]", "da[2]", false},
        {"['city']", "da['city']", true},
        {"da.city", "da.city", true}, // starts with the root's name and holds a value: kept
        {"da", "da", true},
        {"da.zip", "da.da.zip", true}, // null that way, so read relative to the root
        {"da.missing", "da.da.missing", false},
        {"data", "da.data", true},
        {"missing", "da.missing", false},
        {"zip", "da.zip", false},
        {"a b", "da.a b", false},
    };
    for (const auto& c : cases) {
        Text path = c.path;
        EXPECT_EQ(object_.ResolvePath(path), c.holdsValue) << c.path;
        EXPECT_EQ(path, c.resolved) << c.path;
        EXPECT_EQ(object_.Exists(c.path), c.holdsValue) << c.path;
    }
    EXPECT_EQ(object_.GetText("da.zip"), "inner");
}

TEST_F(JsonPathTest, MemberChainForms) {
    struct Case {
        Text path, text;
    } cases[] = {
        {"a.b[0].c", "deep"},
        {"a['b'][0][\"c\"]", "deep"},
        {"['a b']", "1"},
        {R"(["a b"])", "1"},
        {R"(['q\'"'])", "2"},
        {R"(["q'\""])", "2"},
        {R"(['\x61 \u0062'])", "1"}, // escapes in quoted names
        {"[0]", "zero"},             // an index on an object names a member
        {"$_x1", "3"},
        {"list[2]", "l2"},
        {"list['1']", "l1"}, // a decimal name on an array is an index
        {"da['city']", "c"},
        {"da[\"list\"][0]", "l0"},
        {Utf8ToText("中"), "zh"},
        {Utf8ToText("['中']"), "zh"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(object_.GetText(c.path), c.text) << c.path;
}

TEST_F(JsonPathTest, OtherFormsResolveToNothing) {
    for (const Text path :
         {"a..b", ".city", "city.", "a[", "a[]", "list[01]", "list[-1]", "list[1.5]", "list[ 1]", "a.b[0].",
          "a b", "0", "list.1", "a['b]", "a[b]", "(city)", "city;", "['a\nb']"}) {
        Text resolved = path;
        EXPECT_FALSE(object_.ResolvePath(resolved)) << path;
        EXPECT_EQ(object_.GetText(path), "") << path;
        EXPECT_EQ(object_.GetType(path), -1) << path;
        EXPECT_FALSE(object_.SetValue(path, "x")) << path;
    }
    // Well formed, but not members: an array has no names besides its indices, a text none.
    for (const Text path : {"list['01']", "list.length", "city.length", "list.x"}) {
        EXPECT_EQ(object_.GetType(path), 0) << path;
        EXPECT_FALSE(object_.SetValue(path, "x")) << path;
    }
    EXPECT_EQ(object_.ToJsonText().find("\"x\""), Text::npos) << "nothing was stored";
}

} // namespace
} // namespace iploc
