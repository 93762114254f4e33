// Member access on real automation objects: the offline dictionary and the
// system's HTTP request object against our echo server.
#include <gtest/gtest.h>

#include "tests/com/com_test_support.h"
#include "runtime/service_request.h"
#include "tests/web/test_servers.h"

using namespace com_test;
using rt::lastComResult;

TEST(ComObject, EmptyObjectGivesEmptyValuesAndMinusOne) {
    ObjectVar empty;
    EXPECT_EQ(getText(empty, "Status"), "");
    EXPECT_EQ(lastComResult(), -1);
    rt::DataCell r = run(rt::comGetVariant, empty, "ResponseBody");
    ASSERT_NE(r.asPointer(), nullptr);  // a fresh zero block, never a null variant
    EXPECT_EQ(static_cast<VARIANT*>(r.asPointer())->vt, VT_EMPTY);
    rt::rtFree(r.asPointer());
    EXPECT_FALSE(run(rt::comSetProperty, empty, "Option", {integer(4), integer(0)}).asBool());
}

TEST(ComObject, CreateFailsForUnknownProgIdAndKeepsThePreviousObject) {
    ObjectVar dict;
    ASSERT_TRUE(create(dict, "Scripting.Dictionary"));
    IUnknown* before = dict.block.unknown;
    EXPECT_FALSE(create(dict, "No.Such.ProgId.1"));
    EXPECT_FALSE(create(dict, "{00000000-0000-0000-0000-00000000BEEF}"));
    EXPECT_EQ(dict.block.unknown, before);
    // A class identifier in braces works as well as a ProgID.
    ObjectVar byClsid;
    EXPECT_TRUE(create(byClsid, "{EE09B103-97E0-11CF-978F-00A02463E06F}"));
}

TEST(ComObject, DictionaryModesConversionsAndResultCodes) {
    ObjectVar dict;
    ASSERT_TRUE(create(dict, "Scripting.Dictionary"));
    run(rt::comCall, dict, "Add", {text("k1"), text("中文值")});
    EXPECT_EQ(lastComResult(), 0);
    run(rt::comCall, dict, "Add", {integer(7), rt::DataCell::ofDouble(2.5)});
    EXPECT_EQ(lastComResult(), 0);
    EXPECT_EQ(getNumber(dict, "Count"), 2.0);
    EXPECT_EQ(getText(dict, "Item", {text("k1")}), "中文值");  // code page 936 both ways
    EXPECT_EQ(getText(dict, "Item", {integer(7)}), "2.5");
    EXPECT_EQ(getNumber(dict, "Exists", {text("k1")}), -1.0);  // VARIANT_TRUE as a number
    // Mode 2 writes the parameterised property Item(key) = value.
    EXPECT_TRUE(run(rt::comSetProperty, dict, "Item", {text("k1"), integer(42)}).asBool());
    EXPECT_EQ(getNumber(dict, "Item", {text("k1")}), 42.0);
    // Mode 3 takes a property when no function of that name exists.
    run(rt::comCall, dict, "Count");
    EXPECT_EQ(lastComResult(), 0);
    // A 64-bit integer reaches the object as its low 32 bits.
    run(rt::comCall, dict, "Add", {rt::DataCell::ofInt64(0x100000005LL), text("five")});
    EXPECT_EQ(getText(dict, "Item", {integer(5)}), "five");

    EXPECT_EQ(getText(dict, "NoSuchMember"), "");
    EXPECT_EQ(lastComResult(), -3);
    EXPECT_EQ(getNumber(dict, "Count", {integer(1)}), 0.0);
    EXPECT_EQ(lastComResult(), -5);
    // Trailing absent cells are dropped before counting.
    EXPECT_EQ(getNumber(dict, "Count", {absent(), absent()}), 3.0);
    EXPECT_EQ(lastComResult(), 0);
    // A byte set can't become an argument.
    uint8_t* bytes = rt::makeByteSet("ab", 2);
    run(rt::comCall, dict, "Add", {rt::DataCell::ofByteSet(bytes), text("x")});
    EXPECT_EQ(lastComResult(), -7);
    rt::rtFree(bytes);
    // The object's own failure: adding an existing key raises an exception.
    run(rt::comCall, dict, "Add", {text("k1"), text("again")});
    EXPECT_EQ(lastComResult(), -11);
    // A result that can't become a number.
    run(rt::comCall, dict, "Add", {text("obj"), dict.cell()});
    EXPECT_EQ(getNumber(dict, "Item", {text("obj")}), 0.0);
    EXPECT_EQ(lastComResult(), -8);
}

namespace {
DWORD __stdcall readLastResult(void* out) {
    *static_cast<int32_t*>(out) = rt::lastComResult();
    return 0;
}
}  // namespace

TEST(ComObject, LastResultIsPerThread) {
    ObjectVar empty;
    getText(empty, "Anything");
    ASSERT_EQ(lastComResult(), -1);
    int32_t other = 99;
    HANDLE thread = CreateThread(nullptr, 0, readLastResult, &other, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(lastComResult(), -1);
}

TEST(ComObject, AssignAddsAReferenceAndClearReleasesIt) {
    ObjectVar dict, copy;
    ASSERT_TRUE(create(dict, "Scripting.Dictionary"));
    rt::DataCell args[] = {copy.cell(), dict.cell()};
    rt::callCommand(rt::comAssign, 2, args);
    ASSERT_EQ(copy.block.unknown, dict.block.unknown);
    run(rt::comCall, copy, "Add", {text("shared"), integer(1)});
    EXPECT_EQ(getNumber(dict, "Count"), 1.0);
    rt::DataCell clearArgs[] = {dict.cell()};
    rt::callCommand(rt::comClear, 1, clearArgs);
    EXPECT_EQ(dict.block.unknown, nullptr);
    EXPECT_EQ(getNumber(copy, "Count"), 1.0);  // still alive through the copy
    // Service request 2035 releases an object value the same way.
    rt::requestService(rt::kSvcReleaseComObject, static_cast<int32_t>(reinterpret_cast<uintptr_t>(&copy.block)), 0);
    EXPECT_EQ(copy.block.unknown, nullptr);
}

TEST(ComObject, HttpRequestObjectAgainstTheEchoServer) {
    ASSERT_NE(test_servers::faultPort(), 0) << "run through tests/servers/run_with_servers.py";
    ObjectVar request;
    ASSERT_TRUE(create(request, "WinHttp.WinHttpRequest.5.1"));
    std::string url = test_servers::faultUrl("/echo/com");
    // Open's third parameter is optional: an absent cell at the end is dropped.
    run(rt::comCall, request, "Open", {text("POST"), text(url.c_str()), absent()});
    ASSERT_EQ(lastComResult(), 0);
    run(rt::comCall, request, "SetRequestHeader", {text("X-Probe"), text("one")});
    EXPECT_EQ(lastComResult(), 0);
    // An enumeration-typed index and a variant value, written with put.
    EXPECT_TRUE(run(rt::comSetProperty, request, "Option", {integer(6), rt::DataCell::ofBool(false)}).asBool());
    run(rt::comCall, request, "Send", {text("body-text")});
    ASSERT_EQ(lastComResult(), 0);
    EXPECT_EQ(getNumber(request, "Status"), 200.0);
    std::string body = getText(request, "ResponseText");
    EXPECT_EQ(body.rfind("POST /echo/com HTTP/1.1\r\n", 0), 0u) << body;
    EXPECT_NE(body.find("X-Probe: one\r\n"), std::string::npos) << body;
    EXPECT_EQ(body.substr(body.size() - 9), "body-text");
    EXPECT_NE(getText(request, "GetResponseHeader", {text("Content-Type")}).find("text/plain"), std::string::npos);
    // A required parameter left out inside the list reaches the object as
    // "not given", which no text parameter accepts (dropped, it would be -9).
    run(rt::comCall, request, "SetRequestHeader", {absent(), text("v")});
    EXPECT_EQ(lastComResult(), -16);  // DISP_E_TYPEMISMATCH
}
