// Byte-set commands through the call frame.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/commands/command_test_support.h"

using namespace rt::cmd;

TEST(ByteSetCommands, LengthPiecesAndBlanks) {
    Bytes data(std::string("\x01\x02\x03\x00\x05", 5));
    EXPECT_EQ(byteSetLength(data.get()), 5);
    EXPECT_EQ(byteSetLength(nullptr), 0);
    EXPECT_EQ(str(leftBytes(data.get(), 2)), "\x01\x02");
    EXPECT_EQ(str(leftBytes(data.get(), 99)), std::string("\x01\x02\x03\x00\x05", 5));
    EXPECT_EQ(leftBytes(data.get(), 0), nullptr);
    EXPECT_EQ(str(midBytes(data.get(), 3, 2)), std::string("\x03\x00", 2));
    EXPECT_EQ(midBytes(data.get(), 6, 1), nullptr);
    EXPECT_EQ(str(blankBytes(3)), std::string(3, '\0'));
    EXPECT_EQ(blankBytes(-1), nullptr);
    EXPECT_EQ(blankBytes(0), nullptr);  // a byte set of length 0 is never built
}

TEST(ByteSetCommands, ToByteSetGivesTheValueBytes) {
    EXPECT_EQ(str(toByteSet("ab")), "ab");
    EXPECT_EQ(toByteSet(""), nullptr);
    EXPECT_EQ(str(toByteSet(0x01020304)), "\x04\x03\x02\x01");
    EXPECT_EQ(str(toByteSet(Arg::shortValue(-2))), "\xFE\xFF");
    EXPECT_EQ(str(toByteSet(Arg::byteValue(7))), "\x07");
    EXPECT_EQ(str(toByteSet(1LL << 32)), std::string("\0\0\0\0\1\0\0\0", 8));
    double half = 0.5;
    EXPECT_EQ(str(toByteSet(0.5)), std::string(reinterpret_cast<char*>(&half), 8));
    Bytes data("xyz");
    EXPECT_EQ(str(toByteSet(data.get())), "xyz");
}

TEST(ByteSetCommands, BytesFromAddressCopies) {
    const char source[] = "hello";
    EXPECT_EQ(str(bytesFromAddress(source, 4)), "hell");
    EXPECT_EQ(bytesFromAddress(source, 0), nullptr);
    EXPECT_EQ(bytesFromAddress(nullptr, 4), nullptr);
}

TEST(ByteSetCommands, ReadValueFromBytesByType) {
    std::string raw("\x10\x20\x30\x40\x50\x60\x70\x80", 8);
    Bytes data(raw);
    rt::DataCell cell = readValueFromBytes(data.get(), 1);
    EXPECT_EQ(cell.type, rt::kTypeByte);
    EXPECT_EQ(cell.lo, 0x10u);
    cell = readValueFromBytes(data.get(), 2, 2);
    EXPECT_EQ(cell.type, rt::kTypeShort);
    EXPECT_EQ(cell.lo, 0x3020u);
    cell = readValueFromBytes(data.get(), 3);
    EXPECT_EQ(cell.asInt(), 0x40302010);
    cell = readValueFromBytes(data.get(), 4);
    EXPECT_EQ(static_cast<uint64_t>(cell.asInt64()), 0x8070605040302010ull);
    // Bytes missing at the end count as zero.
    cell = readValueFromBytes(data.get(), 3, 7);
    EXPECT_EQ(cell.lo, 0x8070u);
    cell = readValueFromBytes(data.get(), 7, 1);
    EXPECT_EQ(cell.type, rt::kTypeBool);
    EXPECT_EQ(cell.lo, 1u);
    double value = 2.5;
    Bytes doubles(std::string(reinterpret_cast<char*>(&value), 8));
    cell = readValueFromBytes(doubles.get(), 6);
    EXPECT_EQ(cell.type, rt::kTypeDouble);
    EXPECT_EQ(cell.asDouble(), 2.5);
    cell = readValueFromBytes(doubles.get(), 8);
    EXPECT_EQ(cell.type, rt::kTypeDateTime);
}

TEST(ByteSetCommands, ReadValueMovesAPositionPassedByReference) {
    Bytes data(std::string("ab\0cd\0\x05\x00\x00\x00", 10));
    int32_t position = 1;
    rt::DataCell cell = readValueFromBytes(data.get(), 10, Arg::ref(&position, rt::kTypeInt));
    OwnedText first(reinterpret_cast<char*>(cell.lo));
    EXPECT_EQ(cell.type, rt::kTypeText);
    EXPECT_EQ(str(first), "ab");
    EXPECT_EQ(position, 4);  // past the text and its zero
    cell = readValueFromBytes(data.get(), 10, Arg::ref(&position, rt::kTypeInt));
    OwnedText second(reinterpret_cast<char*>(cell.lo));
    EXPECT_EQ(str(second), "cd");
    EXPECT_EQ(position, 7);
    cell = readValueFromBytes(data.get(), 3, Arg::ref(&position, rt::kTypeInt));
    EXPECT_EQ(cell.asInt(), 5);
    EXPECT_EQ(position, -1);  // the end was reached
    position = 9;
    readValueFromBytes(data.get(), 4, Arg::ref(&position, rt::kTypeInt));
    EXPECT_EQ(position, -1);
}
