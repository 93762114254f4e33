// The cache commands through the entry points this program exports by name.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "runtime/heap.h"
#include "suite/jmap.h"
#include "tests/suite/suite_test_support.h"

using suite_testing::takeText;

namespace {

rt::Command exported(const char* name) {
    return reinterpret_cast<rt::Command>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(nullptr), name)));
}

rt::DataCell call(const char* name, std::initializer_list<rt::DataCell> args) {
    rt::Command command = exported(name);
    if (!command) ADD_FAILURE() << name << " is not exported";
    std::vector<rt::DataCell> frame(args);
    return command ? rt::callCommand(command, static_cast<int32_t>(frame.size()), frame.data()) : rt::DataCell{};
}

rt::DataCell text(const char* t) { return rt::DataCell::ofText(t); }
rt::DataCell integer(int32_t v) { return rt::DataCell::ofInt(v); }

std::string getText(const char* key) { return takeText(const_cast<char*>(call("srvkit_CacheGetText", {text(key)}).asText())); }

class CacheExports : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(call("srvkit_CacheClear", {}).asBool()); }
};

}  // namespace

TEST_F(CacheExports, AllTwelveAreExportedByName) {
    for (const char* name : {"srvkit_CacheGet", "srvkit_CacheGetText", "srvkit_CacheSet", "srvkit_CacheSetText",
                             "srvkit_CacheGetMulti", "srvkit_CacheGetMultiText", "srvkit_CacheExists",
                             "srvkit_CacheDelete", "srvkit_CacheClear", "srvkit_CacheIncr", "srvkit_CacheDecr",
                             "srvkit_CacheSetExpire"})
        EXPECT_NE(exported(name), nullptr) << name;
}

TEST_F(CacheExports, SetGetExistsDelete) {
    EXPECT_FALSE(call("srvkit_CacheExists", {text("k")}).asBool());
    EXPECT_EQ(getText("k"), "");
    rt::DataCell stored = call("srvkit_CacheSetText", {text("k"), text("值"), integer(0)});
    EXPECT_EQ(stored.type, rt::kTypeBool);
    EXPECT_TRUE(stored.asBool());
    EXPECT_TRUE(call("srvkit_CacheExists", {text("k")}).asBool());
    EXPECT_EQ(getText("k"), "值");

    // Byte contents keep their zero bytes; the text read stops at the first.
    const char bytes[] = {'a', '\0', 'b'};
    uint8_t* content = rt::makeByteSet(bytes, sizeof bytes);
    EXPECT_TRUE(call("srvkit_CacheSet", {text("b"), rt::DataCell::ofByteSet(content), integer(0)}).asBool());
    rt::rtFree(content);
    rt::DataCell got = call("srvkit_CacheGet", {text("b")});
    EXPECT_EQ(got.type, rt::kTypeByteSet);
    ASSERT_NE(got.lo, 0u);
    const uint8_t* block = got.asByteSet();
    EXPECT_EQ(rt::byteSetLength(block), 3u);
    EXPECT_EQ(std::memcmp(rt::byteSetData(block), bytes, 3), 0);
    rt::rtFree(got.asByteSet());
    EXPECT_EQ(getText("b"), "a");

    EXPECT_TRUE(call("srvkit_CacheDelete", {text("k")}).asBool());
    EXPECT_FALSE(call("srvkit_CacheDelete", {text("k")}).asBool());
    EXPECT_FALSE(call("srvkit_CacheExists", {text("k")}).asBool());
    EXPECT_EQ(call("srvkit_CacheGet", {text("k")}).lo, 0u);
}

TEST_F(CacheExports, IncrAndDecrCountInDecimalText) {
    rt::DataCell first = call("srvkit_CacheIncr", {text("n"), integer(5), integer(0)});
    EXPECT_EQ(first.type, rt::kTypeInt64);
    EXPECT_EQ(first.asInt64(), 5);
    EXPECT_EQ(call("srvkit_CacheIncr", {text("n"), integer(-3), integer(0)}).asInt64(), 8);  // by |amount|
    EXPECT_EQ(getText("n"), "8");
    EXPECT_EQ(call("srvkit_CacheDecr", {text("n"), integer(10), integer(0)}).asInt64(), -2);
    EXPECT_EQ(getText("n"), "-2");
    EXPECT_EQ(call("srvkit_CacheDecr", {text("n"), integer(-1), integer(0)}).asInt64(), -3);
    // Beyond 32 bits.
    ASSERT_TRUE(call("srvkit_CacheSetText", {text("big"), text("4294967295"), integer(0)}).asBool());
    EXPECT_EQ(call("srvkit_CacheIncr", {text("big"), integer(1), integer(0)}).asInt64(), 4294967296LL);
    EXPECT_EQ(getText("big"), "4294967296");
}

TEST_F(CacheExports, EntriesExpireAfterTheirSeconds) {
    ASSERT_TRUE(call("srvkit_CacheSetText", {text("short"), text("1"), integer(1)}).asBool());
    ASSERT_TRUE(call("srvkit_CacheSetText", {text("renewed"), text("2"), integer(0)}).asBool());
    ASSERT_TRUE(call("srvkit_CacheSetText", {text("kept"), text("3"), integer(0)}).asBool());
    EXPECT_TRUE(call("srvkit_CacheSetExpire", {text("renewed"), integer(1)}).asBool());
    EXPECT_FALSE(call("srvkit_CacheSetExpire", {text("absent"), integer(1)}).asBool());
    EXPECT_EQ(call("srvkit_CacheIncr", {text("count"), integer(1), integer(1)}).asInt64(), 1);
    EXPECT_TRUE(call("srvkit_CacheExists", {text("short")}).asBool());
    Sleep(1300);
    for (const char* gone : {"short", "renewed", "count"}) {
        EXPECT_FALSE(call("srvkit_CacheExists", {text(gone)}).asBool()) << gone;
        EXPECT_EQ(getText(gone), "") << gone;
    }
    EXPECT_EQ(getText("kept"), "3");
    // An expired counter starts again from zero.
    EXPECT_EQ(call("srvkit_CacheIncr", {text("count"), integer(2), integer(0)}).asInt64(), 2);
}

TEST_F(CacheExports, MultiReadsFillAKeyValueTable) {
    ASSERT_TRUE(call("srvkit_CacheSetText", {text("a"), text("甲"), integer(0)}).asBool());
    ASSERT_TRUE(call("srvkit_CacheSetText", {text("键"), text("乙"), integer(0)}).asBool());
    suite::JMap table;
    ASSERT_TRUE(table.fromJson("{\"old\": \"x\"}"));
    rt::DataCell result = table.variableCell();
    EXPECT_TRUE(call("srvkit_CacheGetMultiText", {result, text("a"), text("键"), text("missing")}).asBool());
    EXPECT_EQ(takeText(table.getString("a")), "甲");
    EXPECT_EQ(takeText(table.getString("键")), "乙");
    EXPECT_EQ(takeText(table.getString("missing")), "");
    EXPECT_EQ(takeText(table.getString("old")), "") << "the table is emptied first";

    const char bytes[] = {'\x01', '\xFF', 'z'};
    uint8_t* content = rt::makeByteSet(bytes, sizeof bytes);
    ASSERT_TRUE(call("srvkit_CacheSet", {text("bin"), rt::DataCell::ofByteSet(content), integer(0)}).asBool());
    rt::rtFree(content);
    EXPECT_TRUE(call("srvkit_CacheGetMulti", {result, text("bin")}).asBool());
    EXPECT_EQ(takeText(table.getString("bin")), std::string(bytes, 3));
    EXPECT_EQ(takeText(table.getString("a")), "");

    uint32_t neverCreated = 0;
    EXPECT_FALSE(call("srvkit_CacheGetMultiText",
                      {rt::DataCell::refTo(&neverCreated, rt::kTypeJMap), text("a")}).asBool());
}

TEST_F(CacheExports, ClearEmptiesTheCache) {
    ASSERT_TRUE(call("srvkit_CacheSetText", {text("a"), text("1"), integer(0)}).asBool());
    EXPECT_TRUE(call("srvkit_CacheClear", {}).asBool());
    EXPECT_FALSE(call("srvkit_CacheExists", {text("a")}).asBool());
}
