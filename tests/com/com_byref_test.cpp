// By-reference parameters and the write-back into the caller's variables.
#include <gtest/gtest.h>

#include <string>

#include "tests/com/com_test_support.h"
#include "tests/com/test_object.h"

using namespace com_test;
using rt::lastComResult;

namespace {

class ByReference : public ::testing::Test {
protected:
    void SetUp() override {
        object.block.unknown = createTestObject();
        ASSERT_NE(object.block.unknown, nullptr);
    }
    ObjectVar object;
};

}  // namespace

TEST_F(ByReference, OutputParametersWriteBackIntoFlaggedVariables) {
    char* text = rt::makeText("abc");
    int32_t number = 21;
    run(rt::comCall, object, "Swap", {rt::DataCell::refTo(&text, rt::kTypeText), rt::DataCell::refTo(&number, rt::kTypeInt)});
    ASSERT_EQ(lastComResult(), 0);
    EXPECT_STREQ(text, "abc!");
    EXPECT_EQ(number, 42);
    rt::rtFree(text);
}

TEST(ByReferenceInput, ChangesToAnInputParameterStayWithTheObject) {
    ObjectVar recorder;
    recorder.block.unknown = createRecorder();
    ASSERT_NE(recorder.block.unknown, nullptr);
    // The object writes through both pointers; only the output comes back.
    int32_t seen = 1;
    int32_t changed = 1;
    rt::DataCell seenRef = rt::DataCell::refTo(&seen, rt::kTypeInt);
    run(rt::comCall, recorder, "Peek", {seenRef, rt::DataCell::refTo(&changed, rt::kTypeInt)});
    ASSERT_EQ(lastComResult(), 0);
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(changed, kRecorderWrites);
}

TEST_F(ByReference, ValuesWithoutTheVariableFlagAreNotWritten) {
    char* text = rt::makeText("abc");
    int32_t number = 21;
    run(rt::comCall, object, "Swap", {rt::DataCell::ofText(text), rt::DataCell::ofInt(number)});
    ASSERT_EQ(lastComResult(), 0);
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(number, 21);
    rt::rtFree(text);
}

TEST_F(ByReference, VariantOutputConvertsToTheVariableType) {
    char* text = nullptr;
    run(rt::comCall, object, "Fill", {rt::DataCell::refTo(&text, rt::kTypeText)});
    ASSERT_EQ(lastComResult(), 0);
    EXPECT_STREQ(text, "filled");
    rt::rtFree(text);

    double number = 1.5;
    run(rt::comCall, object, "Twice", {integer(8), rt::DataCell::refTo(&number, rt::kTypeDouble)});
    EXPECT_EQ(number, 16.0);
    // A value that can't become the variable's type leaves the variable alone.
    int32_t untouched = 5;
    run(rt::comCall, object, "Fill", {rt::DataCell::refTo(&untouched, rt::kTypeInt)});
    EXPECT_EQ(lastComResult(), 0);
    EXPECT_EQ(untouched, 5);

    VariantVar variant;
    rt::DataCell variantRef = rt::DataCell::refTo(&variant.value, rt::kTypeVariant);
    run(rt::comCall, object, "Fill", {variantRef});
    EXPECT_EQ(variant.block.vt, VT_BSTR);
    EXPECT_EQ(variant.value, &variant.block);  // the variable keeps its block
}

TEST_F(ByReference, ObjectVariableReleasesItsOldInterface) {
    ObjectVar dict;
    ASSERT_TRUE(create(dict, "Scripting.Dictionary"));
    IUnknown* dictionary = dict.block.unknown;
    dictionary->AddRef();
    ULONG before = dictionary->Release();
    run(rt::comCall, object, "Replace", {dict.ref()});
    ASSERT_EQ(lastComResult(), 0);
    EXPECT_EQ(dict.block.unknown, object.block.unknown);
    dictionary->AddRef();
    EXPECT_EQ(dictionary->Release(), before - 1);  // the variable's reference is gone
}

TEST_F(ByReference, ArgumentCountAgainstTheDeclaration) {
    int32_t number = 1;
    char* text = nullptr;
    run(rt::comCall, object, "Swap",
        {rt::DataCell::refTo(&text, rt::kTypeText), rt::DataCell::refTo(&number, rt::kTypeInt), integer(3)});
    EXPECT_EQ(lastComResult(), -5);
    EXPECT_EQ(number, 1);
    // Too few for a parameter that isn't optional is the object's failure.
    run(rt::comCall, object, "Swap", {rt::DataCell::refTo(&text, rt::kTypeText)});
    EXPECT_EQ(lastComResult(), -9);  // DISP_E_BADPARAMCOUNT
    rt::rtFree(text);
}
