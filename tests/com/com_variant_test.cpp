// Variant to byte set and variant set.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string>

#include "tests/com/com_test_support.h"

using namespace com_test;

namespace {

std::string toBytes(VariantVar& v, rt::DataCell index = {}) {
    rt::DataCell args[] = {v.cell(), index};
    uint8_t* bytes = rt::callCommand(rt::variantToBytes, 2, args).asByteSet();
    std::string out(reinterpret_cast<const char*>(rt::byteSetData(bytes)), rt::byteSetLength(bytes));
    rt::rtFree(bytes);
    return out;
}

bool set(VariantVar& v, rt::DataCell value, rt::DataCell index = {}) {
    rt::DataCell args[] = {v.cell(), value, index};
    return rt::callCommand(rt::variantSet, 3, args).asBool();
}

// A 2 x 3 array of VARIANT with lower bounds 1 and 0.
SAFEARRAY* variantMatrix() {
    SAFEARRAYBOUND bounds[2] = {{2, 1}, {3, 0}};  // rgsabound order: the last dimension first
    return SafeArrayCreate(VT_VARIANT, 2, bounds);
}

}  // namespace

TEST(VariantBytes, ByteSetRoundTripAndEmptyArray) {
    VariantVar v;
    uint8_t* bytes = rt::makeByteSet("\x00\x01\xFFz", 4);
    ASSERT_TRUE(set(v, rt::DataCell::ofByteSet(bytes)));
    rt::rtFree(bytes);
    EXPECT_EQ(v.block.vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(toBytes(v), std::string("\x00\x01\xFFz", 4));
    // The empty byte set is an array of no elements, which reads back as empty.
    ASSERT_TRUE(set(v, rt::DataCell::ofByteSet(nullptr)));
    EXPECT_EQ(v.block.vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(toBytes(v), "");
}

TEST(VariantBytes, ScalarsAreChangedToByteArraysOtherArraysGiveNothing) {
    VariantVar v;
    ASSERT_TRUE(set(v, text("ab")));
    EXPECT_EQ(v.block.vt, VT_BSTR);
    EXPECT_EQ(toBytes(v), std::string("a\0b\0", 4));  // the string's UTF-16 bytes
    SAFEARRAY* longs = SafeArrayCreateVector(VT_I4, 0, 2);
    VariantClear(&v.block);
    v.block.vt = VT_ARRAY | VT_I4;
    v.block.parray = longs;
    EXPECT_EQ(toBytes(v), "");
    VariantVar empty;
    EXPECT_EQ(toBytes(empty), "");
}

TEST(VariantSet, IndexSplitsFirstDimensionFastest) {
    VariantVar v;
    v.block.vt = VT_ARRAY | VT_VARIANT;
    v.block.parray = variantMatrix();
    ASSERT_TRUE(set(v, integer(44), integer(4)));   // linear 4 -> (2, 1)
    uint8_t* bytes = rt::makeByteSet("xyz", 3);
    ASSERT_TRUE(set(v, rt::DataCell::ofByteSet(bytes), integer(1)));  // (1, 0) holds a byte array
    rt::rtFree(bytes);
    LONG at[2] = {2, 1};
    VARIANT element;
    VariantInit(&element);
    ASSERT_EQ(SafeArrayGetElement(v.block.parray, at, &element), S_OK);
    EXPECT_EQ(element.vt, VT_I4);
    EXPECT_EQ(element.lVal, 44);
    EXPECT_EQ(toBytes(v, integer(1)), "xyz");
    EXPECT_FALSE(set(v, integer(1), integer(7)));   // beyond 6 elements
    EXPECT_FALSE(set(v, integer(1), integer(0)));
    EXPECT_EQ(v.block.vt, VT_ARRAY | VT_VARIANT);  // a failed indexed set leaves the array
}

TEST(VariantSet, TypedArrayElementsAreConvertedByteSetsRefused) {
    VariantVar v;
    v.block.vt = VT_ARRAY | VT_I4;
    v.block.parray = SafeArrayCreateVector(VT_I4, 1, 3);
    ASSERT_TRUE(set(v, text("12"), integer(3)));
    LONG at = 3, value = 0;
    ASSERT_EQ(SafeArrayGetElement(v.block.parray, &at, &value), S_OK);
    EXPECT_EQ(value, 12);
    uint8_t* bytes = rt::makeByteSet("a", 1);
    EXPECT_FALSE(set(v, rt::DataCell::ofByteSet(bytes), integer(1)));
    rt::rtFree(bytes);
    // Without an index on a scalar: the old value goes, the new one comes.
    VariantVar scalar;
    ASSERT_TRUE(set(scalar, text("old")));
    ASSERT_TRUE(set(scalar, rt::DataCell::ofBool(true)));
    EXPECT_EQ(scalar.block.vt, VT_BOOL);
    EXPECT_EQ(scalar.block.boolVal, VARIANT_TRUE);
    EXPECT_FALSE(set(scalar, integer(1), integer(1)));  // not an array
    rt::DataCell clearArgs[] = {scalar.cell()};
    rt::callCommand(rt::variantClear, 1, clearArgs);
    EXPECT_EQ(scalar.block.vt, VT_EMPTY);
}

// A DECIMAL element is 16 bytes: it is stored whole, in its own slot,
// rather than as the 8 bytes of a variant's value field.
TEST(VariantSet, DecimalElementsAreSixteenBytes) {
    VariantVar v;
    v.block.vt = VT_ARRAY | VT_DECIMAL;
    v.block.parray = SafeArrayCreateVector(VT_DECIMAL, 1, 3);
    ASSERT_TRUE(set(v, integer(5), integer(2)));
    DECIMAL stored[3];
    for (LONG at = 1; at <= 3; ++at) ASSERT_EQ(SafeArrayGetElement(v.block.parray, &at, &stored[at - 1]), S_OK);
    DECIMAL five{};
    five.Lo64 = 5;
    EXPECT_EQ(std::memcmp(&stored[1], &five, sizeof five), 0);
    const DECIMAL zero{};
    EXPECT_EQ(std::memcmp(&stored[0], &zero, sizeof zero), 0);
    EXPECT_EQ(std::memcmp(&stored[2], &zero, sizeof zero), 0);
}

// Element indexes follow the integer-argument rule: floating values are
// truncated, 64-bit values are taken whole (beyond the array is beyond it).
TEST(VariantSet, IndexesOfEveryNumberType) {
    const struct {
        rt::DataCell index;
        bool stored;
    } cases[] = {
        {rt::DataCell::ofDouble(4.0), true},
        {rt::DataCell::ofDouble(4.99), true},
        {rt::DataCell::ofWord(std::bit_cast<uint32_t>(4.5f), rt::kTypeFloat), true},
        {rt::DataCell::ofInt64(4), true},
        {rt::DataCell::ofWord(4, rt::kTypeByte), true},
        {rt::DataCell::ofInt64((1LL << 32) + 4), false},
        {rt::DataCell::ofDouble(0.5), false},
    };
    for (const auto& c : cases) {
        VariantVar v;
        v.block.vt = VT_ARRAY | VT_VARIANT;
        v.block.parray = variantMatrix();
        SCOPED_TRACE(testing::Message() << std::hex << c.index.type << " " << c.index.hi << ":" << c.index.lo);
        EXPECT_EQ(set(v, integer(44), c.index), c.stored);
        LONG at[2] = {2, 1};  // linear 4
        VARIANT element;
        VariantInit(&element);
        ASSERT_EQ(SafeArrayGetElement(v.block.parray, at, &element), S_OK);
        EXPECT_EQ(element.vt, c.stored ? VT_I4 : VT_EMPTY);
    }
    VariantVar bytes;
    bytes.block.vt = VT_ARRAY | VT_VARIANT;
    bytes.block.parray = variantMatrix();
    uint8_t* xyz = rt::makeByteSet("xyz", 3);
    ASSERT_TRUE(set(bytes, rt::DataCell::ofByteSet(xyz), integer(3)));
    rt::rtFree(xyz);
    EXPECT_EQ(toBytes(bytes, rt::DataCell::ofDouble(3.0)), "xyz");
}
