#include <gtest/gtest.h>

#include "tests/support/msgbox_watch.h"
#include "tests/web/runtime_values.h"
#include "web/text_codecs.h"

using namespace web;
using namespace test_values;
using testing_support::u8s;

namespace {
std::string base64(const std::string& bytes) { return takeText(base64Encode(byteSet(bytes))); }
std::string encoded(const std::string& source, bool keepMarks, bool utf8) {
    TextVar t(source);
    return takeText(urlEncode(&t, keepMarks ? Opt<int32_t>(1) : Opt<int32_t>(0), utf8 ? Opt<int32_t>(1) : Opt<int32_t>()));
}
}  // namespace

TEST(Base64, PaddingFollowsTheInputLength) {
    EXPECT_EQ(base64(""), "");
    EXPECT_EQ(base64("f"), "Zg==");
    EXPECT_EQ(base64("fo"), "Zm8=");
    EXPECT_EQ(base64("foo"), "Zm9v");
    EXPECT_EQ(base64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(base64("user:pass"), "dXNlcjpwYXNz");
    EXPECT_EQ(base64(std::string("\xFF\x00\xFE\x3F", 4)), "/wD+Pw==");
}

TEST(UrlEncode, PassThroughBlankAndEscapes) {
    EXPECT_EQ(encoded("a b/c", false, true), "a+b%2Fc");
    EXPECT_EQ(encoded("_~-.Az09", false, false), "%5F%7E-.Az09");
    EXPECT_EQ(encoded("(x)*'", true, false), "(x)*'");
    EXPECT_EQ(encoded("(x)*'", false, false), "%28x%29%2A%27");
    EXPECT_EQ(encoded("", false, true), "");
    EXPECT_EQ(encoded("\x01\x7F\x80", false, false), "%01%7F%80");
}

TEST(UrlEncode, DoubleByteTextPerByteOrAsUtf8) {
    // 中 is D6 D0 in code page 936 and E4 B8 AD in UTF-8.
    EXPECT_EQ(encoded("中", false, false), "%D6%D0");
    EXPECT_EQ(encoded("中", true, true), "%E4%B8%AD");
    EXPECT_EQ(encoded("Pelmora更新.exe", true, true), "Pelmora%E6%9B%B4%E6%96%B0.exe");
}

TEST(WideConversion, TerminatorIncludedOneWayExcludedTheOther) {
    EXPECT_EQ(takeBytes(toWide(byteSet("中a"), kLocalCodePage)), std::string("\x2D\x4E" "a\0\0\0", 6));
    EXPECT_EQ(takeBytes(fromWide(byteSet(std::string("\x2D\x4E" "a\0", 4)), kLocalCodePage)), "中a");
    // Conversion stops at the first zero byte / unit; nothing in front of it gives empty.
    EXPECT_EQ(takeBytes(toWide(byteSet(std::string("ab\0cd", 5)), kUtf8CodePage)), std::string("a\0b\0\0\0", 6));
    EXPECT_EQ(takeBytes(toWide(byteSet(std::string("\0ab", 3)), kUtf8CodePage)), "");
    EXPECT_EQ(takeBytes(fromWide(byteSet(std::string("\0\0a\0", 4)), kUtf8CodePage)), "");
    EXPECT_EQ(takeBytes(toWide(nullptr, kUtf8CodePage)), "");
    EXPECT_EQ(takeBytes(fromWide(nullptr, kUtf8CodePage)), "");
}

TEST(Utf8AndLocalText, RoundTripsThroughUtf16) {
    std::string utf8 = u8s(u8"Pelmora更新.exe 中文，全角");
    char* local = utf8ToLocalText(byteSet(utf8));
    EXPECT_EQ(std::string(local), "Pelmora更新.exe 中文，全角");
    EXPECT_EQ(takeBytes(localTextToUtf8(local)), utf8);
    rt::rtFree(local);
    EXPECT_EQ(takeText(utf8ToLocalText(nullptr)), "");
    EXPECT_EQ(takeBytes(localTextToUtf8(nullptr)), "");
}

TEST(Utf8AndLocalText, ByteOrderMarkIsConvertedNotStripped) {
    // U+FEFF has no code page 936 form: it arrives as the default character.
    std::string local = takeText(utf8ToLocalText(byteSet("\xEF\xBB\xBF{}")));
    EXPECT_EQ(local, "?{}");
}

// The conversions' working byte sets go with the call: after the result is
// freed the heap has as many live blocks as before (each runs once first,
// for the system's own first-use tables).
TEST(Utf8AndLocalText, NothingOutlivesAConversionButItsResult) {
    const struct {
        const char* name;
        void (*convert)();
    } conversions[] = {
        {"urlEncode of UTF-8", [] {
             TextVar text("中 a/b");
             takeText(urlEncode(&text, 1, 1));
         }},
        {"utf8ToLocalText", [] {
             uint8_t* utf8 = byteSet("\xE4\xB8\xAD");
             takeText(utf8ToLocalText(utf8));
             rt::rtFree(utf8);
         }},
    };
    for (const auto& c : conversions) {
        c.convert();
        const size_t before = liveHeapBlocks();
        c.convert();
        EXPECT_EQ(liveHeapBlocks(), before) << c.name;
    }
}
