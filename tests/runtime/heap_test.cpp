#include <gtest/gtest.h>
#include <windows.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "runtime/data_cell.h"
#include "runtime/framework/window_object.h"
#include "runtime/heap.h"
#include "runtime/runtime_app.h"
#include "runtime/service_request.h"
#include "tests/support/heap_blocks.h"

using namespace rt;

namespace {

// A stand-in constant segment that is itself a live heap block: a free or
// an in-place resize that wrongly reached the heap would show in
// HeapValidate/HeapSize of the block.
struct SegmentScope {
    char* segment;
    SegmentScope() : segment(static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, 32))) {
        std::memcpy(segment, "literal\0second literal\0\0\0\0\0\0\0\0", 32);
        setConstantSegment(segment, 32);
    }
    ~SegmentScope() {
        clearConstantSegment();
        HeapFree(GetProcessHeap(), 0, segment);
    }
    bool stillAllocated() const {
        return HeapValidate(GetProcessHeap(), 0, segment) && HeapSize(GetProcessHeap(), 0, segment) == 32;
    }
};

void addInts(DataCell* result, int32_t count, DataCell* args) {
    int32_t sum = 0;
    for (int32_t i = 0; i < count; ++i) sum += args[i].asInt();
    result->setInt(sum);
}

void echoThird(DataCell* result, int32_t count, DataCell* args) { *result = argAt(count, args, 2); }
void writesNothing(DataCell*, int32_t, DataCell*) {}
void writesLowWordOnly(DataCell* result, int32_t, DataCell*) { result->lo = 7; }

}  // namespace

TEST(ConstantSegment, FreeLeavesLiteralsAlone) {
    SegmentScope scope;
    rtFree(scope.segment);
    rtFree(scope.segment + 8);
    rtFree(nullptr);
    EXPECT_TRUE(scope.stillAllocated());
    EXPECT_STREQ(scope.segment, "literal");
}

TEST(ConstantSegment, ReallocateCopiesAtMostToTheSegmentEnd) {
    SegmentScope scope;
    char* grown = static_cast<char*>(rtRealloc(scope.segment + 8, 64));
    ASSERT_NE(grown, scope.segment + 8);
    EXPECT_STREQ(grown, "second literal");
    EXPECT_EQ(std::memcmp(grown, scope.segment + 8, 24), 0);  // the 24 bytes up to the end
    char* shrunk = static_cast<char*>(rtRealloc(scope.segment, 4));
    ASSERT_NE(shrunk, scope.segment);
    EXPECT_EQ(std::memcmp(shrunk, "lite", 4), 0);
    EXPECT_TRUE(scope.stillAllocated());  // the literal's block was neither resized nor freed
    EXPECT_STREQ(scope.segment, "literal");
    rtFree(grown);
    rtFree(shrunk);
}

// A thread the runtime didn't start may still free a literal after the
// end of the process began; the block must not go to HeapFree.
TEST(ConstantSegment, LiteralsStayLiteralsAfterShutdown) {
    SegmentScope scope;
    RuntimeApp::instance().cleanupRuntime(0);
    rtFree(scope.segment);
    EXPECT_TRUE(scope.stillAllocated());
}

TEST(ConstantSegment, OutsideTheSegmentIsAHeapBlock) {
    SegmentScope scope;
    EXPECT_EQ(constantSegmentEndFor(scope.segment + 32), nullptr);
    EXPECT_EQ(constantSegmentEndFor(scope.segment), reinterpret_cast<const uint8_t*>(scope.segment + 32));
    char* text = makeText("abc");
    char* bigger = static_cast<char*>(rtRealloc(text, 1000));
    EXPECT_STREQ(bigger, "abc");
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, bigger), 1000u);
    rtFree(bigger);
}

TEST(Values, EmptyTextsAndByteSetsAreNull) {
    EXPECT_EQ(makeText(""), nullptr);
    EXPECT_EQ(makeText(nullptr), nullptr);
    EXPECT_EQ(makeByteSet("x", 0), nullptr);
    EXPECT_EQ(byteSetLength(nullptr), 0u);
    EXPECT_EQ(textLength(nullptr), 0u);

    uint8_t* bytes = makeByteSet("\x01\x02\x03", 3);
    uint32_t header[2];
    std::memcpy(header, bytes, 8);
    EXPECT_EQ(header[0], 1u);
    EXPECT_EQ(header[1], 3u);
    EXPECT_EQ(byteSetData(bytes)[2], 3);
    rtFree(bytes);
}

// Request 2023 frees the elements of text and byte-set arrays (the
// variable flag doesn't count) along with the block: nothing stays live.
TEST(Values, TextArraysFreeTheirElements) {
    for (uint32_t type : {uint32_t{kTypeText}, kTypeText | kVariableAddressFlag, uint32_t{kTypeByteSet}}) {
        size_t before = test_support::liveHeapBlocks();
        void* array = makeArray(4, 3);
        auto elements = static_cast<void**>(arrayElements(array));
        bool bytes = elementType(type) == kTypeByteSet;
        elements[0] = bytes ? static_cast<void*>(makeByteSet("a", 1)) : makeText("a");
        elements[2] = bytes ? static_cast<void*>(makeByteSet("c", 1)) : makeText("c");
        requestService(kSvcFreeArray, static_cast<int32_t>(type), reinterpret_cast<int32_t>(array));
        EXPECT_EQ(test_support::liveHeapBlocks(), before) << std::hex << type;
    }
}

// Both call-command entries (2, library; 3, core) give the command a zeroed
// result cell and the caller's count: what it leaves unwritten stays zero,
// and an argument past the count is absent.
TEST(CallFrame, BothEntriesStartFromAZeroResultAndPassTheCount) {
    DataCell args[] = {DataCell::ofInt(40), DataCell::ofInt(2)};
    const struct {
        const char* name;
        Command command;
        DataCell expected;
    } cases[] = {
        {"writes nothing", writesNothing, DataCell{}},
        {"writes the low word", writesLowWordOnly, DataCell{7, 0, kTypeAbsent}},
        {"adds its arguments", addInts, DataCell::ofInt(42)},
        {"reads past the count", echoThird, DataCell{}},
    };
    const struct {
        const char* name;
        DataCell (*call)(Command, int32_t, DataCell*);
    } entries[] = {{"library", serviceTable().callLibraryCommand}, {"core", serviceTable().callCoreCommand}};
    for (const auto& entry : entries) {
        for (const auto& c : cases) {
            DataCell result = entry.call(c.command, 2, args);
            EXPECT_EQ(std::memcmp(&result, &c.expected, sizeof result), 0)
                << entry.name << ", " << c.name << ": " << std::hex << result.lo << " " << result.hi << " "
                << result.type;
        }
    }
}

TEST(CallFrame, WidthsAndEightByteValues) {
    EXPECT_EQ(typeWidth(kTypeInt64), 8u);
    EXPECT_EQ(typeWidth(kTypeDateTime), 8u);
    EXPECT_EQ(typeWidth(kTypeByte), 1u);
    EXPECT_EQ(typeWidth(kTypeText | kVariableAddressFlag), 4u);
    DataCell big = DataCell::ofInt64(0x123456789LL);
    EXPECT_EQ(big.hi, 1u);
    EXPECT_EQ(big.lo, 0x23456789u);
    EXPECT_EQ(DataCell::ofInt(-1).hi, 0u);

    int32_t variable = 5;
    DataCell ref = DataCell::refTo(&variable, kTypeInt);
    EXPECT_TRUE(ref.byReference());
    EXPECT_EQ(ref.valueType(), kTypeInt);
    EXPECT_EQ(ref.asInt(), 5);
}

TEST(ServiceRequest, FixedAnswersAndUnknownCodes) {
    EXPECT_EQ(requestService(kSvcRuntimeVersion, 0, 0), 0x70005);
    EXPECT_EQ(requestService(kSvcAlwaysOne, 0, 0), 1);
    EXPECT_EQ(requestService(kSvcRunMode, 0, 0), 0);  // runtimeInit not run in this host
    EXPECT_EQ(requestService(2002, 0, 0), 0);
    EXPECT_EQ(requestService(4711, 1, 2), 0);

    uint8_t iid[16] = {};
    EXPECT_EQ(requestService(kSvcTypeInterface, static_cast<int32_t>(kTypeComObject), reinterpret_cast<int32_t>(iid)), 1);
    EXPECT_EQ(iid[8], 0xC0);
    EXPECT_EQ(iid[15], 0x46);

    void* block = reinterpret_cast<void*>(requestService(kSvcAllocate, 16, 0));
    ASSERT_NE(block, nullptr);
    block = reinterpret_cast<void*>(requestService(kSvcReallocate, reinterpret_cast<int32_t>(block), 64));
    requestService(kSvcFree, reinterpret_cast<int32_t>(block), 0);
    EXPECT_EQ(requestService(kSvcAllocate, 0x7FFFFFF0, 1), 0);  // unchecked: may fail quietly
}

TEST(ServiceRequest, OpenFileRegistry) {
    int dummy = 0;
    EXPECT_EQ(requestService(kSvcOpenFileMode, reinterpret_cast<int32_t>(&dummy), 0), -1);
    requestService(kSvcRegisterOpenFile, reinterpret_cast<int32_t>(&dummy), 3);
    EXPECT_EQ(requestService(kSvcOpenFileMode, reinterpret_cast<int32_t>(&dummy), 0), 3);
    EXPECT_EQ(requestService(kSvcUnregisterOpenFile, reinterpret_cast<int32_t>(&dummy), 0), 1);
    EXPECT_EQ(requestService(kSvcUnregisterOpenFile, reinterpret_cast<int32_t>(&dummy), 0), 0);
}

// Out of range and not-a-number doubles follow the conversion commands (the
// low word of the 64-bit truncation, or 0), never the undefined 32-bit cast.
TEST(ServiceRequest, NumberCellsBecomeIntegersByTheGuardedRule) {
    int32_t variable = -17;
    const struct {
        DataCell cell;
        int32_t expected;
    } cases[] = {
        {DataCell::ofDouble(41.9), 41},
        {DataCell::ofDouble(-41.9), -41},
        {DataCell::ofDouble(3e9), -1294967296},
        {DataCell::ofDouble(1e300), 0},
        {DataCell::ofDouble(-std::numeric_limits<double>::infinity()), 0},
        {DataCell::ofDouble(std::nan("")), 0},
        {DataCell::ofWord(std::bit_cast<uint32_t>(-2.75f), kTypeFloat), -2},
        {DataCell::ofInt64(0x100000005LL), 5},
        {DataCell::ofWord(200, kTypeByte), 200},
        {DataCell::ofWord(0xFFFD, kTypeShort), -3},
        {DataCell::refTo(&variable, kTypeInt), -17},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(requestService(kSvcNumericToInt, reinterpret_cast<int32_t>(&c.cell), 0), c.expected)
            << std::hex << c.cell.type << " " << c.cell.hi << ":" << c.cell.lo;
    }
}

// A window has one framework object: asking twice, or for a window that
// already has one, gives that object.
TEST(ServiceRequest, WrappingAWindowGivesTheObjectItHas) {
    HWND first = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    HWND second = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(first && second);
    auto wrap = [](HWND window) {
        int32_t object = requestService(kSvcWrapForeignWindow, reinterpret_cast<int32_t>(window), 0);
        return reinterpret_cast<fw::WindowObject*>(object);
    };
    fw::WindowObject* made = wrap(first);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->handle(), first);
    EXPECT_EQ(wrap(first), made);
    fw::WindowObject own;
    ASSERT_TRUE(own.attach(second));
    EXPECT_EQ(wrap(second), &own);
    EXPECT_EQ(wrap(nullptr), nullptr);
    requestService(kSvcDeleteObject, reinterpret_cast<int32_t>(made), 0);
    own.detach();
    DestroyWindow(first);
    DestroyWindow(second);
}
