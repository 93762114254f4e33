// Text commands through the call frame. Narrow literals are code page 936:
// "中" is the two bytes D6 D0.
#include <gtest/gtest.h>

#include <iterator>

#include "tests/commands/command_test_support.h"

using namespace rt::cmd;

TEST(TextCommands, LengthsAndPiecesCountBytes) {
    EXPECT_EQ(textLength("中文ab"), 6);
    EXPECT_EQ(textLength(""), 0);
    EXPECT_EQ(str(leftText("abcdef", 2)), "ab");
    EXPECT_EQ(str(leftText("abc", 10)), "abc");
    EXPECT_EQ(leftText("abc", 0), nullptr);  // the empty text is address 0
    EXPECT_EQ(str(rightText("abcdef", 2)), "ef");
    EXPECT_EQ(rightText("abc", -1), nullptr);
    EXPECT_EQ(str(midText("abcdef", 2, 3)), "bcd");
    EXPECT_EQ(str(midText("abcdef", 5, 9)), "ef");
    EXPECT_EQ(midText("abc", 4, 1), nullptr);
    EXPECT_EQ(midText("abc", 0, 1), nullptr);
    EXPECT_EQ(str(blankText(3)), "   ");
    EXPECT_EQ(blankText(0), nullptr);
}

TEST(TextCommands, CharacterCodes) {
    EXPECT_EQ(str(charFromCode(65)), "A");
    EXPECT_EQ(charFromCode(0), nullptr);
    EXPECT_EQ(charCode("AB"), 65);
    EXPECT_EQ(charCode("AB", 2), 66);
    EXPECT_EQ(charCode("中"), -42);  // 0xD6 as a signed byte
    EXPECT_EQ(charCode("AB", 3), 0);
    EXPECT_EQ(charCode("AB", 0), 0);
}

TEST(TextCommands, FindTextForward) {
    EXPECT_EQ(findText("abcabc", "bc"), 2);
    EXPECT_EQ(findText("abcabc", "bc", 3), 5);
    EXPECT_EQ(findText("abcabc", "bc", -5), 2);  // a start below 1 counts as 1
    EXPECT_EQ(findText("abcabc", "x"), -1);
    EXPECT_EQ(findText("abc", "abcd"), -1);      // longer than the range
    EXPECT_EQ(findText("abc", "c", 4), -1);      // start beyond the text
    EXPECT_EQ(findText("abc", ""), 1);
    EXPECT_EQ(findText("", ""), -1);
    EXPECT_EQ(findText("abc", "", 4), -1);
    EXPECT_EQ(findText("aBc", "bC"), -1);
    EXPECT_EQ(findText("aBc", "bC", Arg(), true), 2);
}

TEST(TextCommands, FindTextNeverMatchesAtASecondByte) {
    // "中" is D6 D0, "糀" ends in 0x40 = '@': an ASCII search must skip it.
    const char text[] = "\xD6\x40@";
    EXPECT_EQ(findText(text, "@"), 3);
    EXPECT_EQ(findTextBackward(text, "@"), 3);
    EXPECT_EQ(findText("\xB0\x61" "a", "a"), 3);
    // Ignore case must not fold a second byte either.
    EXPECT_EQ(findText("\xB0\x61" "A", "a", Arg(), true), 3);
    // A lone lead byte at the end ends the scan.
    EXPECT_EQ(findText("ab\xB0", "\xB0"), -1);
}

TEST(TextCommands, IgnoringCaseFoldsOnlySingleByteLetters) {
    // "乤" is 81 61 and "丄" 81 41: their second bytes are "a" and "A".
    struct Case {
        const char* text;
        const char* sought;
        int32_t forward, backward;
        const char* replaced;  // every match, ignoring case, replaced by "X"
    } cases[] = {
        {"乤", "丄", -1, -1, "乤"},
        {"丄乤丄", "乤", 3, 3, "丄X丄"},
        {"中a", "中A", 1, 1, "X"},  // a letter after a double-byte character still folds
        {"b乤Ab乤aB", "乤aB", 2, 6, "bXX"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(findText(c.text, c.sought, Arg(), true), c.forward);
        EXPECT_EQ(findTextBackward(c.text, c.sought, Arg(), true), c.backward);
        EXPECT_EQ(str(replaceText(c.text, c.sought, "X")), c.replaced);
    }
}

TEST(TextCommands, FindTextBackward) {
    EXPECT_EQ(findTextBackward("abcabc", "bc"), 5);
    EXPECT_EQ(findTextBackward("abcabc", "bc", 6), 2);  // range: the first 5 bytes
    EXPECT_EQ(findTextBackward("abcabc", "bc", 7), 5);
    EXPECT_EQ(findTextBackward("abcabc", "a", 1), -1);
    EXPECT_EQ(findTextBackward("abc", ""), 1);
    EXPECT_EQ(findTextBackward("ABCabc", "abc", Arg(), true), 4);
}

TEST(TextCommands, UpperCaseAndTrimLeaveDoubleByteCharactersAlone) {
    EXPECT_EQ(str(toUpper("ab\xB0\x61z1")), "AB\xB0\x61Z1");
    EXPECT_EQ(str(trimText("  a b  ")), "a b");
    EXPECT_EQ(str(trimText("\xA1\xA1 x\xA1\xA1")), "x");
    EXPECT_EQ(str(trimText("\tx\r\n")), "\tx\r\n");  // tabs and line breaks are not blanks
    EXPECT_EQ(trimText("  \xA1\xA1 "), nullptr);
    // A character whose second byte is A1 followed by A1: not a blank.
    EXPECT_EQ(str(trimText("x\xB0\xA1\xA1\xA1")), "x\xB0\xA1");
}

TEST(TextCommands, ReplaceText) {
    EXPECT_EQ(str(replaceText("a-b-c-d", "-", "+")), "a+b+c+d");
    EXPECT_EQ(str(replaceText("a-b-c-d", "-", "+", Arg(), 2)), "a+b+c-d");
    EXPECT_EQ(str(replaceText("a-b-c-d", "-", "+", 3)), "a-b+c+d");
    EXPECT_EQ(str(replaceText("a-b", "-")), "ab");  // default replacement: empty
    // Without the case flag letters match either way.
    EXPECT_EQ(str(replaceText("x%2Fy%2fz", "%2F", "/")), "x/y/z");
    EXPECT_EQ(str(replaceText("x%2Fy%2fz", "%2F", "/", Arg(), Arg(), true)), "x/y%2fz");
    EXPECT_EQ(str(replaceText("abc", "b", "x", Arg(), 0)), "abc");
    EXPECT_EQ(str(replaceText("abc", "b", "x", 4)), "abc");
    EXPECT_EQ(str(replaceText("abc", "", "x")), "abc");
    EXPECT_EQ(replaceText("", "a", "x"), nullptr);
    // "@" inside a double-byte character is not replaced.
    EXPECT_EQ(str(replaceText("\xD6\x40@", "@", "#")), "\xD6\x40#");
}

namespace {
std::vector<std::string> parts(const TextArray& array) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < array.size(); ++i) out.push_back(array[i] ? array[i] : "");
    return out;
}
using Parts = std::vector<std::string>;
}  // namespace

TEST(TextCommands, SplitText) {
    EXPECT_EQ(parts(splitText("a,b,c")), (Parts{"a", "b", "c"}));
    EXPECT_EQ(parts(splitText("a,,b")), (Parts{"a", "", "b"}));
    EXPECT_EQ(parts(splitText("a,b,")), (Parts{"a", "b"}));
    EXPECT_EQ(parts(splitText(",a")), (Parts{"", "a"}));
    EXPECT_EQ(parts(splitText("a,b,c", ",", 1)), (Parts{"a"}));
    EXPECT_EQ(parts(splitText("a,b,c", ",", 2)), (Parts{"a", "b"}));
    EXPECT_EQ(parts(splitText("a\r\nb", "\r\n")), (Parts{"a", "b"}));
    EXPECT_EQ(parts(splitText("a,b", "")), (Parts{"a,b"}));
    EXPECT_EQ(parts(splitText("a,b", ",", 0)), Parts{});
    EXPECT_EQ(parts(splitText("")), Parts{});
    EXPECT_EQ(parts(splitText("\xD6\x40@x", "@")), (Parts{"\xD6\x40", "x"}));
    TextArray array = splitText("a,b");
    ASSERT_NE(array.get(), nullptr);
    EXPECT_EQ(rt::arrayDimensions(array.get()), 1u);
}
