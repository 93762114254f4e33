// The key-value table through the bridge, as the application calls it.
#include <gtest/gtest.h>
#include <windows.h>

#include "runtime/heap.h"
#include "runtime/service_request.h"
#include "suite/forward_table.h"
#include "suite/jmap.h"
#include "suite/module/json_limits.h"
#include "tests/suite/suite_test_support.h"
#include "tests/support/msgbox_watch.h"

using suite::FromJsonOptions;
using suite::JMap;
using suite_testing::takeText;
using testing_support::u8s;
using testing_support::utf8ToGbk;

namespace {

const std::string kDigest = "0123456789abcdef0123456789abcdef";

// The version file as the server sends it (UTF-8).
std::string versionFileUtf8() {
    return u8s(u8"{\n  \"Pelmora更新.exe\": \"") + kDigest + u8s(u8"\",\n  \"lj\": \"更新/Pelmora更新.exe\"\n}\n");
}

FromJsonOptions encoding(const char* name) {
    FromJsonOptions options;
    options.sourceEncoding = name;
    return options;
}
FromJsonOptions escapesConverted() {
    FromJsonOptions options;
    options.convertEscapes = true;
    return options;
}
FromJsonOptions wideKeys() {
    FromJsonOptions options;
    options.wideKeys = true;
    return options;
}

uint8_t* byteSet(const std::string& bytes) { return rt::makeByteSet(bytes.data(), bytes.size()); }

}  // namespace

TEST(JMapVersionFile, BodyConvertedToGbkIsReadWithTheGbkKeys) {
    JMap table;
    std::string body = utf8ToGbk(versionFileUtf8());
    EXPECT_TRUE(table.fromJson(body.c_str()));
    EXPECT_EQ(takeText(table.getString("Pelmora更新.exe")), kDigest);
    EXPECT_EQ(takeText(table.getString("lj")), "更新/Pelmora更新.exe");  // GBK, as the literal
    EXPECT_EQ(takeText(table.getString("missing")), "");
}

TEST(JMapVersionFile, Utf8BodyWithItsEncodingNamedGivesGbkTexts) {
    JMap table;
    uint8_t* body = byteSet("\xEF\xBB\xBF" + versionFileUtf8());  // with a byte-order mark
    EXPECT_TRUE(table.fromJsonBytes(body, encoding("utf-8")));
    EXPECT_EQ(takeText(table.getString("Pelmora更新.exe")), kDigest);
    EXPECT_EQ(takeText(table.getString("lj")), "更新/Pelmora更新.exe");
    rt::rtFree(body);
}

TEST(JMapVersionFile, KeyWrittenAsEscapesMatchesOnlyWithEscapeConversion) {
    const char* body =
        "{\"Pelmora\\u66f4\\u65b0.exe\": \"abc\", \"lj\": \"\\u66f4\\u65b0\\n\", \"pair\": \"\\uD834\\uDD1E\"}";
    JMap plain;
    EXPECT_TRUE(plain.fromJson(body));
    EXPECT_EQ(takeText(plain.getString("Pelmora更新.exe")), "");
    // Left as written: the escape is six characters of the key and value.
    EXPECT_EQ(takeText(plain.getString("Pelmora\\u66f4\\u65b0.exe")), "abc");
    EXPECT_EQ(takeText(plain.getString("lj")), "\\u66f4\\u65b0\n");
    EXPECT_EQ(takeText(plain.getString("pair")), "\\uD834\\uDD1E");

    JMap converted;
    EXPECT_TRUE(converted.fromJson(body, escapesConverted()));
    EXPECT_EQ(takeText(converted.getString("Pelmora更新.exe")), "abc");
    EXPECT_EQ(takeText(converted.getString("lj")), "更新\n");
}

// Whether "\u" escapes are decoded or kept as written, the same texts are
// JSON objects; the application loads with them kept.
TEST(JMapLoad, ObjectsOfEveryShapeLoadAndEverythingElseIsRefusedInBothEscapeModes) {
    const struct {
        const char* body;
        bool loads;
    } cases[] = {
        // Objects of every shape.
        {"{}", true},
        {"  \r\n\t{\"a\": \"2\"}\n", true},
        {"{\"a\": {\"b\": {\"c\": []}}, \"l\": [[], {}, [1, [2]]]}", true},
        {"{\"n\": 0, \"m\": -0, \"f\": -1.5e+3, \"g\": 2E-2, \"t\": true, \"u\": false, \"z\": null}", true},
        {"{\"s\": \"\\\" \\\\ \\/ \\b \\f \\n \\r \\t\", \"\": \"empty key\", \"a\": \"a\"}", true},
        {"{\"e\": \"\\u00e9\\u00C9\\u0000\", \"p\": \"\\uD834\\uDD1E\\udbff\\udfff\"}", true},
        // Anything but an object.
        {"[]", false}, {"[1, 2]", false}, {"[{\"a\": 1}]", false}, {"\"text\"", false}, {"42", false}, {"", false},
        {nullptr, false}, {"not json", false},
        // Numbers.
        {"{\"a\": 01}", false}, {"{\"a\": 1.}", false}, {"{\"a\": .5}", false}, {"{\"a\": +1}", false},
        {"{\"a\": 1e}", false}, {"{\"a\": NaN}", false},
        // Strings.
        {"{\"a\": \"open}", false}, {"{\"a\": 'single'}", false}, {"{\"a\": \"tab\there\"}", false},
        {"{\"a\": \"\\x41\"}", false}, {"{\"a\": \"\\U0041\"}", false},
        // "\u" escapes: four hex digits, surrogates in pairs.
        {"{\"a\": [\"\\uqqqq\"]}", false}, {"{\"a\": \"\\u00A\"}", false}, {"{\"a\": \"\\uD800\\u\"}", false},
        {"{\"a\": \"\\uD800\\u1\"}", false}, {"{\"a\": \"\\uD800\\u1x\"}", false}, {"{\"a\": \"\\uD834\\uDd\"}", false},
        {"{\"a\": \"\\uD800\"}", false}, {"{\"a\": \"\\uD800\\u0041\"}", false}, {"{\"a\": \"\\uD800\\n\"}", false},
        {"{\"a\": \"\\uDC00\"}", false}, {"{\"\\u12\": 1}", false},
        // Structure.
        {"{\"a\": 1", false}, {"{\"a\" 1}", false}, {"{\"a\": 1,}", false}, {"{\"a\": 1 \"b\": 2}", false},
        {"{a: 1}", false}, {"{1: 1}", false}, {"{\"a\": [1}", false}, {"{\"a\": 1}}", false}, {"{} {}", false},
        {"{/* note */}", false},
    };
    const struct {
        const char* name;
        FromJsonOptions options;
    } modes[] = {{"escapes kept", {}}, {"escapes converted", escapesConverted()}};
    for (const auto& mode : modes) {
        JMap table;
        for (const auto& c : cases) {
            const char* shown = c.body ? c.body : "(empty text)";
            ASSERT_TRUE(table.fromJson("{\"a\": \"1\"}"));
            EXPECT_EQ(table.fromJson(c.body, mode.options), c.loads) << mode.name << ": " << shown;
            if (!c.loads) {
                EXPECT_EQ(takeText(table.getString("a")), "") << "a failed load leaves nothing: " << shown;
            }
        }
    }
}

// A value nested past the limit would make reading it as text recurse as
// deep as the input: such a document is not loaded at all. Brackets inside
// strings don't count.
TEST(JMapLoad, NestingIsBoundedAndTheLimitItselfIsAccepted) {
    auto nested = [](size_t depth, const char* member) {
        return "{\"" + std::string(member) + "\":" + std::string(depth - 1, '[') + "\"v\"" +
               std::string(depth - 1, ']') + ",\"k\":\"[[[[\"}";
    };
    const struct {
        size_t depth;
        bool loads;
    } cases[] = {{srvkit::kMaxJsonDepth, true}, {srvkit::kMaxJsonDepth + 1, false}, {20000, false}};
    for (const auto& c : cases) {
        JMap table;
        std::string body = nested(c.depth, "lj");
        EXPECT_EQ(table.fromJson(body.c_str()), c.loads) << c.depth;
        std::string lj = takeText(table.getString("lj"));
        EXPECT_EQ(lj.empty(), !c.loads) << c.depth;
        EXPECT_EQ(takeText(table.getString("k")), c.loads ? "[[[[" : "") << c.depth;
    }
}

TEST(JMapLoad, OnlyTextAndByteSetDataAndKnownEncodingsAreAccepted) {
    JMap table;
    rt::DataCell args[] = {table.variableCell(), rt::DataCell::ofInt(7)};
    EXPECT_FALSE(rt::callCommand(suite::suiteEntryPoint(suite::kJMapFromJson), 2, args).asBool());
    EXPECT_FALSE(table.fromJson("{\"a\": \"1\"}", encoding("no-such-encoding")));
    // UTF-16 data comes as a byte set.
    std::wstring wide = L"{\"a\": \"\x66f4\"}";
    uint8_t* data = rt::makeByteSet(wide.data(), wide.size() * 2);
    EXPECT_TRUE(table.fromJsonBytes(data, encoding("unicode")));
    EXPECT_EQ(takeText(table.getString("a")), "更");
    rt::rtFree(data);
}

// The module sees every argument of FromJSON; one not given is a cell of
// type 0, whatever the call's options.
TEST(JMapLoad, FromJsonPassesAllFiveArgumentsWithTheOmittedOnesAbsent) {
    static std::vector<uint32_t> seenTypes;
    struct SlotSwap {
        rt::Command& slot = suite::suiteForwardTable().slots[suite::kJMapFromJson];
        rt::Command saved = slot;
        SlotSwap() {
            slot = [](rt::DataCell*, int32_t count, rt::DataCell* args) {
                seenTypes.assign(count, 0);
                for (int32_t i = 0; i < count; ++i) seenTypes[i] = args[i].type;
            };
        }
        ~SlotSwap() { slot = saved; }
    };
    const uint32_t self = rt::kTypeJMap | rt::kVariableAddressFlag, data = rt::kTypeText;
    const struct {
        const char* name;
        FromJsonOptions options;
        std::vector<uint32_t> types;
    } cases[] = {
        {"as the application calls it", {}, {self, data, 0, 0, 0}},
        {"with an encoding", encoding("utf-8"), {self, data, rt::kTypeText, 0, 0}},
    };
    JMap table;
    for (const auto& c : cases) {
        SlotSwap recording;
        table.fromJson("{}", c.options);
        EXPECT_EQ(seenTypes, c.types) << c.name;
    }
}

TEST(JMapLoad, ALaterLoadReplacesTheContent) {
    JMap table;
    ASSERT_TRUE(table.fromJson("{\"a\": \"1\", \"b\": \"2\"}"));
    ASSERT_TRUE(table.fromJson("{\"b\": \"3\"}"));
    EXPECT_EQ(takeText(table.getString("a")), "");
    EXPECT_EQ(takeText(table.getString("b")), "3");
}

TEST(JMapGetString, PathsCountListItemsFromOneAndFourSlashesNameAKey) {
    JMap table;
    ASSERT_TRUE(table.fromJson(
        "{\"a\": {\"b\": [10, {\"c\": \"x\"}]}, \"//k\": \"slashes\", \"list\": [1, 2, 3], \"k\": \"plain\"}"));
    EXPECT_EQ(takeText(table.getString("//a/b/1")), "10");
    EXPECT_EQ(takeText(table.getString("//a/b/2/c")), "x");
    EXPECT_EQ(takeText(table.getString("//a/b[2]/c")), "x");
    EXPECT_EQ(takeText(table.getString("//list")), "[1,2,3]");
    EXPECT_EQ(takeText(table.getString("//k")), "plain");
    EXPECT_EQ(takeText(table.getString("////k")), "slashes");
    for (const char* absent : {"//a/b/0", "//a/b/3", "//a/x", "//a/b/", "//list[4]", "//a[1]", "////a"})
        EXPECT_EQ(takeText(table.getString(absent)), "") << absent;
}

TEST(JMapGetString, ValuesOfEveryKindReadAsText) {
    JMap table;
    ASSERT_TRUE(table.fromJson(
        "{\"n\": 42, \"neg\": -7, \"f\": 1.5, \"t\": true, \"no\": false, \"z\": null, \"o\": {\"x\": [1, \"y\"]}, "
        "\"s\": \"中文\"}"));
    EXPECT_EQ(takeText(table.getString("n")), "42");
    EXPECT_EQ(takeText(table.getString("neg")), "-7");
    EXPECT_EQ(takeText(table.getString("f")), "1.5");
    EXPECT_EQ(takeText(table.getString("t")), "true");
    EXPECT_EQ(takeText(table.getString("no")), "false");
    EXPECT_EQ(takeText(table.getString("z")), "");
    EXPECT_EQ(takeText(table.getString("o")), "{\"x\":[1,\"y\"]}");
    EXPECT_EQ(takeText(table.getString("s")), "中文");
}

TEST(JMapGetString, WideKeysAreReadOnlyWithWideTextKeys) {
    JMap table;
    ASSERT_TRUE(table.fromJson("{\"lj\": \"path\", \"更新\": \"u\"}", wideKeys()));
    EXPECT_EQ(takeText(table.getString("lj")), "");
    std::wstring key = L"lj";
    uint8_t* wideKey = rt::makeByteSet(key.data(), key.size() * 2);
    EXPECT_EQ(takeText(table.getStringByBytes(wideKey)), "path");
    rt::rtFree(wideKey);
    key = L"\x66f4\x65b0";
    wideKey = rt::makeByteSet(key.data(), key.size() * 2);
    EXPECT_EQ(takeText(table.getStringByBytes(wideKey)), "u");
    rt::rtFree(wideKey);
}

TEST(JMapObject, ResultsAreRuntimeHeapBlocksAndReleasedTablesReadEmpty) {
    uint32_t variable = 0;
    rt::DataCell self = rt::DataCell::refTo(&variable, rt::kTypeJMap);
    auto call = [&](uint32_t slot, std::vector<rt::DataCell> args) {
        return rt::serviceTable().callLibraryCommand(suite::suiteEntryPoint(slot), static_cast<int32_t>(args.size()),
                                                    args.data());
    };
    rt::DataCell key = rt::DataCell::ofText("a");
    // Never created: every call is harmless and finds nothing.
    EXPECT_FALSE(call(suite::kJMapFromJson, {self, rt::DataCell::ofText("{\"a\": \"1\"}")}).asBool());
    EXPECT_EQ(call(suite::kJMapGetString, {self, key}).lo, 0u);

    call(suite::kJMapBaseCreate, {self});
    ASSERT_NE(variable, 0u);
    ASSERT_TRUE(call(suite::kJMapFromJson, {self, rt::DataCell::ofText("{\"a\": \"1\"}")}).asBool());
    rt::DataCell value = call(suite::kJMapGetString, {self, key});
    EXPECT_EQ(value.type, rt::kTypeText);
    ASSERT_NE(value.lo, 0u);
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, reinterpret_cast<void*>(value.lo)));
    rt::rtFree(reinterpret_cast<void*>(value.lo));

    // Creating again empties the table.
    call(suite::kJMapBaseCreate, {self});
    EXPECT_EQ(call(suite::kJMapGetString, {self, key}).lo, 0u);

    call(suite::kJMapBaseRelease, {self});
    EXPECT_EQ(variable, 0u);
    call(suite::kJMapBaseRelease, {self});  // twice is harmless
    EXPECT_EQ(call(suite::kJMapGetString, {self, key}).lo, 0u);
}

namespace {
struct SeenFrame {
    int calls = 0;
    int32_t count = 0;
    rt::DataCell* args = nullptr;
} gSeen;

void recordFrame(rt::DataCell* result, int32_t count, rt::DataCell* args) {
    ++gSeen.calls;
    gSeen.count = count;
    gSeen.args = args;
    result->setInt(count);
}
}  // namespace

// Every slot holds the module's command of its number, and entry point i
// hands its frame, unchanged, to slot i alone (a recorder stands in for it).
TEST(SuiteForwarding, EveryEntryPointBindsAndForwardsToItsOwnSlot) {
    suite::SuiteForwardTable& table = suite::suiteForwardTable();
    ASSERT_NE(table.getLibInfo, nullptr);
    const rt::Command* module = table.getLibInfo()->commands;
    ASSERT_NE(module, nullptr);
    rt::DataCell args[] = {rt::DataCell::ofInt(1), rt::DataCell::ofText("x")};
    for (uint32_t slot = 0; slot < suite::kSuiteCommandCount; ++slot) {
        EXPECT_EQ(table.slots[slot], module[slot]) << slot;
        rt::Command bound = table.slots[slot];
        table.slots[slot] = &recordFrame;
        gSeen = {};
        rt::DataCell result = rt::callCommand(suite::suiteEntryPoint(slot), 2, args);
        table.slots[slot] = bound;
        EXPECT_EQ(gSeen.calls, 1) << slot;
        EXPECT_EQ(gSeen.count, 2) << slot;
        EXPECT_EQ(gSeen.args, args) << slot;
        EXPECT_EQ(result.asInt(), 2) << slot;
    }
}
