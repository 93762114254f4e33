// Conversions and arithmetic through the call frame.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/commands/command_test_support.h"

using namespace rt::cmd;

TEST(ConversionCommands, ToTextPerType) {
    EXPECT_EQ(str(toText(1.5)), "1.5");
    EXPECT_EQ(str(toText(3.0)), "3");
    EXPECT_EQ(str(toText(0.1 + 0.2)), "0.3");  // 13 significant digits
    EXPECT_EQ(str(toText(1e20)), "1e+20");
    EXPECT_EQ(str(toText(Arg::floatValue(0.1f))), "0.1");
    EXPECT_EQ(str(toText(-7)), "-7");
    EXPECT_EQ(str(toText(Arg::byteValue(200))), "200");
    EXPECT_EQ(str(toText(Arg::shortValue(-3))), "-3");
    EXPECT_EQ(str(toText(-9000000000LL)), "-9000000000");
    EXPECT_EQ(str(toText(true)), "真");
    EXPECT_EQ(str(toText(false)), "假");
    EXPECT_EQ(str(toText("abc")), "abc");
    Bytes bytes(std::string("ab\0c", 4));
    EXPECT_EQ(str(toText(bytes.get())), "ab");
}

TEST(ConversionCommands, DateTimeTextDropsZeroTimeParts) {
    // 2024-03-05 is OLE date 45356.
    EXPECT_EQ(str(toText(Arg::dateTime(45356.0))), "2024年3月5日");
    EXPECT_EQ(str(toText(Arg::dateTime(45356.0 + 13.0 / 24))), "2024年3月5日13时");
    EXPECT_EQ(str(toText(Arg::dateTime(45356.0 + (13 * 60 + 7) / 1440.0))), "2024年3月5日13时7分");
    EXPECT_EQ(str(toText(Arg::dateTime(45356.0 + (13 * 3600 + 7 * 60 + 9) / 86400.0))),
              "2024年3月5日13时7分9秒");
    EXPECT_EQ(str(toText(Arg::dateTime(45356.0 + 9 / 86400.0))), "2024年3月5日0时0分9秒");
}

TEST(ConversionCommands, TextAtAddress) {
    const char source[] = "copy me";
    OwnedText copy = textAtAddress(source);
    EXPECT_EQ(str(copy), "copy me");
    EXPECT_NE(copy.get(), source);
    EXPECT_EQ(textAtAddress(nullptr), nullptr);
}

TEST(ConversionCommands, NumbersFromTextsAfterFullWidthNormalisation) {
    EXPECT_EQ(toInteger("123abc"), 123);
    EXPECT_EQ(toInteger("\xA3\xB1\xA3\xB2\xA3\xB3"), 123);       // full-width 123
    EXPECT_EQ(toInteger("\xA1\xA1\xA3\xAD\xA3\xB4"), -4);         // full-width blank, minus, 4
    EXPECT_EQ(toDouble("\xA3\xB2\xA3\xAE\xA3\xB5"), 2.5);         // full-width 2.5
    EXPECT_EQ(toDouble(" 1e3x"), 1000.0);
    EXPECT_EQ(toInt64("\xA3\xB9" "876543210123"), 9876543210123LL);
    EXPECT_EQ(toInt64(""), 0);
    EXPECT_EQ(toByte("300"), 44);  // low byte
    // A second byte 0xA3 that belongs to another character is not touched.
    EXPECT_EQ(toInteger("\xB0\xA3\xB1"), 0);
}

TEST(ConversionCommands, NumbersFromNumbers) {
    EXPECT_EQ(toInteger(-2.9), -2);
    EXPECT_EQ(toInteger(3000000000.0), -1294967296);  // low 32 bits of the 64-bit value
    EXPECT_EQ(toInteger(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(toInteger(std::nan("")), 0);
    EXPECT_EQ(toInteger(true), 1);
    EXPECT_EQ(toInteger(0x100000005LL), 5);
    EXPECT_EQ(toByte(0x1FF), 0xFF);
    EXPECT_EQ(toByte(-1.5), 0xFF);
    EXPECT_EQ(toInt64(-1.0e15), -1000000000000000LL);
    EXPECT_EQ(toInt64(Arg::floatValue(2.75f)), 2);
    EXPECT_EQ(toDouble(7), 7.0);
    EXPECT_EQ(toDouble((1LL << 53) + 1), 9007199254740992.0);
    EXPECT_EQ(toDouble(Arg::byteValue(250)), 250.0);
}

// Values that carry no number (byte sets, subroutine addresses) convert to
// 0 in every integer and double conversion, not to their address.
TEST(ConversionCommands, ValuesWithoutANumberGiveZero) {
    Bytes bytes("\x07");
    const Arg cases[] = {Arg(bytes.get()), Arg::subroutine(reinterpret_cast<const void*>(&rt::toInteger))};
    for (const Arg& value : cases) {
        EXPECT_EQ(toInteger(value), 0);
        EXPECT_EQ(toInt64(value), 0);
        EXPECT_EQ(toByte(value), 0);
        EXPECT_EQ(toDouble(value), 0.0);
    }
}

TEST(ArithmeticCommands, RoundToLiftsValuesJustBelowTheHalf) {
    EXPECT_EQ(roundTo(2.675, 2), 2.68);
    EXPECT_EQ(roundTo(-1.5), -2.0);
    EXPECT_EQ(roundTo(1.5), 2.0);
    EXPECT_EQ(roundTo(2.4), 2.0);
    EXPECT_EQ(roundTo(1234.5, -2), 1200.0);
    EXPECT_EQ(roundTo(1250.0, -2), 1300.0);
    EXPECT_EQ(roundTo(-0.125, 2), -0.13);
    EXPECT_EQ(roundTo(0.0, 3), 0.0);
}

TEST(ArithmeticCommands, FloorInt) {
    EXPECT_EQ(floorInt(2.9999999999999), 3);
    EXPECT_EQ(floorInt(2.5), 2);
    EXPECT_EQ(floorInt(-2.5), -3);
    EXPECT_EQ(floorInt(-2.9999999999999), -3);
    EXPECT_EQ(floorInt(5.0), 5);
    EXPECT_EQ(floorInt(4294967301.5), 5);  // low 32 bits
}

TEST(ArithmeticCommands, RemainderBitsAndShifts) {
    // Qualified: C's own remainder() is a different operation.
    EXPECT_EQ(rt::cmd::remainder(7.5, 2.0), 1.5);
    EXPECT_EQ(rt::cmd::remainder(-7.0, 3.0), -1.0);
    EXPECT_EQ(rt::cmd::remainder(100.0, 30.0, 6.0), 4.0);  // (100 mod 30) mod 6
    EXPECT_EQ(bitAnd(0xFF, 0x0F0), 0xF0);
    EXPECT_EQ(bitAnd(-1, 0x7F, 0x3C), 0x3C);
    EXPECT_EQ(shiftLeft(1, 4), 16);
    EXPECT_EQ(shiftLeft(1, 33), 2);  // count modulo 32
    EXPECT_EQ(shiftRight(-16, 2), -4);  // the sign bit is copied in
    EXPECT_EQ(shiftRight(16, 34), 4);
}
