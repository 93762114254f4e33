// What Invoke receives: the flags and each argument's variant type follow
// the member's declared types, as the recorder writes them down.
#include <gtest/gtest.h>

#include <iterator>
#include <vector>

#include "tests/com/com_test_support.h"
#include "tests/com/test_object.h"

using namespace com_test;
using rt::lastComResult;

TEST(CallForm, FlagsAndArgumentTypesFollowTheDeclaration) {
    ObjectVar recorder;
    recorder.block.unknown = createRecorder();
    ASSERT_NE(recorder.block.unknown, nullptr);
    VariantVar items;
    items.block.vt = VT_ARRAY | VT_VARIANT;
    items.block.parray = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    const rt::DataCell object = recorder.cell();
    const struct {
        rt::Command command;
        const char* member;
        std::vector<rt::DataCell> args;
        WORD flags;
        std::vector<VARTYPE> passed;
    } cases[] = {
        // An absent argument is "not given" by value, even where the
        // parameter is by reference.
        {rt::comCall, "Mark", {absent(), integer(1)}, DISPATCH_METHOD, {VT_ERROR, VT_I4}},
        {rt::comCall, "Mark", {text("a"), integer(1)}, DISPATCH_METHOD, {VT_BYREF | VT_VARIANT, VT_I4}},
        // A dispatch interface, named or user-defined, asks for IDispatch.
        {rt::comCall, "Take", {object, object, object}, DISPATCH_METHOD, {VT_DISPATCH, VT_DISPATCH, VT_UNKNOWN}},
        // Interfaces and arrays are written by reference, other values by value.
        {rt::comSetProperty, "Target", {object}, DISPATCH_PROPERTYPUTREF, {VT_DISPATCH}},
        {rt::comSetProperty, "Source", {object}, DISPATCH_PROPERTYPUTREF, {VT_UNKNOWN}},
        {rt::comSetProperty, "Items", {items.cell()}, DISPATCH_PROPERTYPUTREF, {VT_ARRAY | VT_VARIANT}},
        {rt::comSetProperty, "Count", {integer(5)}, DISPATCH_PROPERTYPUT, {VT_I4}},
    };
    for (size_t row = 0; row < std::size(cases); ++row) {
        const auto& c = cases[row];
        SCOPED_TRACE(testing::Message() << "row " << row << ": " << c.member);
        run(c.command, recorder, c.member, c.args);
        ASSERT_EQ(lastComResult(), 0);
        EXPECT_EQ(lastRecordedCall().flags, c.flags);
        EXPECT_EQ(lastRecordedCall().args, c.passed);
    }
}
