#include <gtest/gtest.h>

#include "tests/web/runtime_values.h"
#include "web/cookies.h"

using namespace web;
using namespace test_values;

TEST(CollectSetCookies, TakesNameValueOfEachSetCookieLine) {
    std::string headers =
        "HTTP/1.1 200 OK\r\nSet-Cookie: b=3; path=/\r\nContent-Type: text/html\r\n"
        "Set-Cookie: c=4; expires=Thu, 01 Jan 2037 00:00:00 GMT; path=/x\r\n\r\n";
    EXPECT_EQ(collectSetCookies(headers), "b=3; c=4");
    // Without attributes the whole rest of the line is the item, trimmed.
    EXPECT_EQ(collectSetCookies("Set-Cookie:  d=5 \r\n"), "d=5");
}

TEST(CollectSetCookies, HeaderNameIsCaseSensitiveRemovalIsNot) {
    EXPECT_EQ(collectSetCookies("set-cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n"), "b=2");
    EXPECT_EQ(collectSetCookies("Set-Cookie: x=SET-COOKIE:y\r\n"), "x=y");
    EXPECT_EQ(collectSetCookies("Set-Cookie: a=1\r\nSet-Cookie: a=2; path=/\r\nSet-Cookie: a=1\r\n"), "a=1; a=2; a=1");
    EXPECT_EQ(collectSetCookies(""), "");
}

TEST(MergeCookieTexts, NewerFirstThenOlderNotMentioned) {
    EXPECT_EQ(mergeCookieTexts("a=1; b=2", "b=3; c=4"), "b=3; c=4; a=1");
    EXPECT_EQ(mergeCookieTexts("a=1; b=2", "a=deleted"), "b=2");
    // Nothing newer: the older text trimmed, first of each name kept, deleted dropped.
    EXPECT_EQ(mergeCookieTexts("  a=1; b=2; a=3; c=deleted  ", ""), "a=1; b=2");
    EXPECT_EQ(mergeCookieTexts("a=1;", ""), "a=1");
    // An empty last item is none; one between two separators stays.
    EXPECT_EQ(mergeCookieTexts("", "a=1; ; "), "a=1");
    EXPECT_EQ(mergeCookieTexts("", "a=1; ; b=2"), "a=1; ; b=2");
    // The newer text's own duplicates survive unless identical.
    EXPECT_EQ(mergeCookieTexts("", "a=1; a=2; a=1"), "a=1; a=2");
    // Names differ by case: two cookies.
    EXPECT_EQ(mergeCookieTexts("ID=1", "id=2"), "id=2; ID=1");
    EXPECT_EQ(mergeCookieTexts("", ""), "");
}

TEST(MergeCookieTexts, BothVariablesReceiveTheMergedText) {
    TextVar send("a=1; b=2"), received("b=3; c=4");
    mergeCookieTexts(&send, &received);
    EXPECT_EQ(send.str(), "b=3; c=4; a=1");
    EXPECT_EQ(received.str(), "b=3; c=4; a=1");
}

TEST(PrepareCookieHeader, RemovesEveryPrefixKeepsTheBlank) {
    TextVar prefixed("Cookie: a=1; cookie:b=2");
    prepareCookieHeader(&prefixed);
    EXPECT_EQ(prefixed.str(), " a=1; b=2");
    TextVar plain("a=1");
    char* before = plain.value;
    prepareCookieHeader(&plain);
    EXPECT_EQ(plain.value, before);  // untouched, not even copied
    TextVar empty;
    prepareCookieHeader(&empty);
    EXPECT_EQ(empty.value, nullptr);
}

TEST(CookieTexts, NoSearchMatchesInsideADoubleByteCharacter) {
    // 0x81 and the byte after it are one character: "\x81" "C" is no "C".
    TextVar send("n=\x81" "Cookie:v");
    prepareCookieHeader(&send);
    EXPECT_EQ(send.str(), "n=\x81" "Cookie:v");
    struct {
        const char* headers;
        const char* received;
    } collected[] = {
        {"Set-Cookie: a=\x81Set-Cookie:\r\n", "a=\x81Set-Cookie:"},  // prefix removal, no attributes
        {"Set-Cookie: a=\x81;b; path=/\r\n", "a=\x81;b"},            // the item ends at the first ";"
    };
    for (const auto& c : collected) EXPECT_EQ(collectSetCookies(c.headers), c.received);
    // Two names: the "=" after 0x81 belongs to the character.
    EXPECT_EQ(mergeCookieTexts("\x81=x=1", "\x81=y=2"), "\x81=y=2; \x81=x=1");
}

TEST(CookieName, TrimmedTextBeforeTheFirstEquals) {
    EXPECT_EQ(cookieName(" sid =a=b"), "sid");
    EXPECT_EQ(cookieName("flag"), "flag");
    EXPECT_EQ(cookieName("\xA1\xA1x=1"), "x");
}
