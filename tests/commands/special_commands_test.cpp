// Text formatting and data addresses (special-functions library).
#include <gtest/gtest.h>

#include "tests/commands/command_test_support.h"

using namespace rt::cmd;

TEST(FormatText, TheApplicationsUseOneTextValue) {
    EXPECT_EQ(str(formatText("下载失败：%s", "原因")), "下载失败：原因");
    EXPECT_EQ(str(formatText("%s", "")), "");
}

TEST(FormatText, BackticksTildesAndLineBreaks) {
    EXPECT_EQ(str(formatText("say `hi` ~a~ ~b~")), "say \"hi\" “a” “b”");
    EXPECT_EQ(str(formatText("a%nb%Nc", 1)), "a\r\nb\r\n\r\nc");
    // Without values no sequence is processed.
    EXPECT_EQ(str(formatText("a%nb")), "a%nb");
    // A backtick or tilde as the second byte of a character stays.
    EXPECT_EQ(str(formatText("\xB0\x60\xB0\x7E")), "\xB0\x60\xB0\x7E");
}

TEST(FormatText, ValuesInTurnAndWhatStaysAsWritten) {
    EXPECT_EQ(str(formatText("%s+%d=%f", "1", 2, 3.5)), "1+2=3.5");
    EXPECT_EQ(str(formatText("%t %T", "q", "w")), "\"q\" “w”");
    EXPECT_EQ(str(formatText("%s %s", "only")), "only %s");  // no value left
    EXPECT_EQ(str(formatText("100%% %x %s", "v")), "100%% %x v");
    EXPECT_EQ(str(formatText("end %", "v")), "end %");
    EXPECT_EQ(str(formatText("%s", true)), "真");
    // A "%" before a double-byte character doesn't split it.
    EXPECT_EQ(str(formatText("%\xB0\x73%s", "v")), "%\xB0\x73v");
}

TEST(DataAddress, OfTextByteSetAndOtherVariables) {
    char* text = rt::makeText("abc");
    EXPECT_EQ(dataAddress(Arg::ref(&text, rt::kTypeText)), reinterpret_cast<uint32_t>(text));
    rt::rtFree(text);
    char* empty = nullptr;
    EXPECT_EQ(dataAddress(Arg::ref(&empty, rt::kTypeText)), 0u);
    Bytes bytes("xyz");
    const uint8_t* block = bytes.get();
    EXPECT_EQ(dataAddress(Arg::ref(&block, rt::kTypeByteSet)), reinterpret_cast<uint32_t>(block) + 8);
    uint8_t* noBytes = nullptr;
    EXPECT_EQ(dataAddress(Arg::ref(&noBytes, rt::kTypeByteSet)), 0u);
    int32_t number = 5;
    EXPECT_EQ(dataAddress(Arg::ref(&number, rt::kTypeInt)), reinterpret_cast<uint32_t>(&number));
}
