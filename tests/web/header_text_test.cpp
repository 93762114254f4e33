#include <gtest/gtest.h>

#include "web/header_text.h"

using namespace web;

namespace {
const std::string kUrl = "http://h/x";
const std::string kUa = "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
}  // namespace

TEST(DefaultHeaders, AppendedInOrderUnlessTheProbeIsPresentInAnyCase) {
    EXPECT_EQ(withDefaultHeaders("", kUrl, false),
              "\r\nAccept: */*\r\nReferer: http://h/x\r\nAccept-Language: zh-cn" + kUa);
    EXPECT_EQ(withDefaultHeaders("accept: text/html", kUrl, false),
              "accept: text/html\r\nReferer: http://h/x\r\nAccept-Language: zh-cn" + kUa);
    // The probe may stand anywhere, even inside a value.
    EXPECT_EQ(withDefaultHeaders("X-Note: no referer: here", kUrl, false),
              "X-Note: no referer: here\r\nAccept: */*\r\nAccept-Language: zh-cn" + kUa);
    // ... but never inside a double-byte character ("\x81" "A" is one).
    EXPECT_EQ(withDefaultHeaders("X-Note: \x81" "Accept: y", kUrl, false),
              "X-Note: \x81" "Accept: y\r\nAccept: */*\r\nReferer: http://h/x\r\nAccept-Language: zh-cn" + kUa);
    EXPECT_EQ(withDefaultHeaders("", kUrl, true),
              "\r\nAccept: */*\r\nReferer: http://h/x\r\nAccept-Language: zh-cn" + kUa +
                  "\r\nContent-Type: application/x-www-form-urlencoded");
    EXPECT_EQ(withDefaultHeaders("CONTENT-TYPE: text/plain", kUrl, true).find("x-www-form-urlencoded"),
              std::string::npos);
}

TEST(NormalizeHeaderLines, CapitalisesEachPieceDropsLinesWithoutColon) {
    EXPECT_EQ(normalizeHeaderLines("content-type: a/b\r\nx-requested-with: X\r\nCONTENT-TYPE: c\r\nnocolon\r\n"),
              "Content-Type: a/b\r\nX-Requested-With: X\r\nCONTENT-TYPE: c");
    EXPECT_EQ(normalizeHeaderLines("\r\naccept: */*"), "Accept: */*");
    // Only a to z change; the value keeps its case; a leading blank stays in the name.
    EXPECT_EQ(normalizeHeaderLines(" foo: bar-baz\r\n1a-b: v\r\nx--y:z\r\na-: v"),
              " foo: bar-baz\r\n1a-B: v\r\nX--Y:z\r\nA-: v");
    // A "-" or ":" after 0x81 is the character's second byte.
    EXPECT_EQ(normalizeHeaderLines("x-\x81-a\x81:b: v"), "X-\x81-a\x81:b: v");
    EXPECT_EQ(normalizeHeaderLines(""), "");
}

TEST(HeaderLinesToSend, SkipsEmptyLinesAndExactKeepAlive) {
    auto lines = headerLinesToSend("A: 1\r\n\r\nConnection: keep-alive\r\nConnection: close\r\n"
                                   "connection: keep-alive\r\n B \xA1\xA1:  two words \r\nnocolon");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].name, "A");
    EXPECT_EQ(lines[0].value, "1");
    EXPECT_EQ(lines[1].value, "close");
    EXPECT_EQ(lines[2].name, "connection");
    EXPECT_EQ(lines[3].name, "B");
    EXPECT_EQ(lines[3].value, "two words");
    EXPECT_EQ(lines[4].name, "");
    EXPECT_EQ(lines[4].value, "");
    // The name ends at the first ":" that is a character of its own.
    auto dbcs = headerLinesToSend("A\x81:b: v\r\n");
    ASSERT_EQ(dbcs.size(), 1u);
    EXPECT_EQ(dbcs[0].name, "A\x81:b");
    EXPECT_EQ(dbcs[0].value, "v");
    // Without CR LF the text is one line, whatever it holds.
    auto single = headerLinesToSend("Connection: keep-alive");
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].value, "keep-alive");
}
