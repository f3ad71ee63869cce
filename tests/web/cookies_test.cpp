#include "web/cookies.h"

#include <gtest/gtest.h>

namespace iploc {
namespace {

TEST(CollectSetCookies, TakesTheCookieUpToTheFirstSemicolon) {
    struct Case {
        Text line, before, after;
    } cases[] = {
        {"Set-Cookie: sid=abc; path=/; HttpOnly", "", "sid=abc; "},
        {"Set-Cookie: sid=abc", "x=1; ", "x=1; sid=abc; "},
        {"Set-Cookie:  tok=1 ", "", "tok=1; "},
        {"set-cookie: a=1", "", ""}, // the name must be written exactly
        {"Set-Cookie:a=1", "", ""},  // no ": " behind the name
        {"X-Set-Cookie: a=1", "", ""},
        {"HTTP/1.1 200 OK", "", ""},
    };
    for (const auto& c : cases) {
        Text cookies = c.before;
        CollectSetCookies(c.line, cookies);
        EXPECT_EQ(cookies, c.after) << c.line;
    }
}

TEST(MergeCookies, ReceivedFirstDeletedDroppedDuplicatesOnce) {
    struct Case {
        Text sent, received, merged;
    } cases[] = {
        {"a=1; b=2", "b=3; c=deleted", "b=3; a=1"},
        {"a=1;", "b=2", "b=2; a=1"}, // a trailing semicolon is a separator
        {" a=1 ", "b=2 ", "b=2; a=1"},
        {"a=1", "a=deleted", ""},
        {"a=1", "x=1; x=1", "x=1; a=1"},
        {"a=1", "x=1; x=2", "x=1; x=2; a=1"},
        {"a=1; a=2", "", "a=1"},
        {"a=1", "", "a=1"},
        {"flag; a=1", "flag", "flag; a=1"},
    };
    for (const auto& c : cases) {
        Text sent = c.sent, received = c.received;
        EXPECT_EQ(MergeCookies(sent, received), c.merged) << c.sent << " + " << c.received;
        EXPECT_EQ(sent, c.merged) << "the merge is also left in the sent cookies";
    }
}

TEST(CookieName, TextBeforeTheFirstEqualsTrimmed) {
    EXPECT_EQ(CookieName(" sid = x=y"), "sid");
    EXPECT_EQ(CookieName(" flag "), "flag");
    EXPECT_EQ(CookieName("=v"), "");
    EXPECT_TRUE(HasCookieName({"a=1", " b =2"}, "b"));
    EXPECT_FALSE(HasCookieName({"a=1", "bb=2"}, "b"));
    EXPECT_FALSE(HasCookieName({}, ""));
}

} // namespace
} // namespace iploc
