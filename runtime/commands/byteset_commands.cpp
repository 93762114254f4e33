// Byte-set commands.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "runtime/commands/builtin_commands.h"
#include "runtime/commands/command_support.h"
#include "runtime/heap.h"
#include "runtime/runtime_error.h"

namespace rt {

using namespace command_support;

void byteSetLength(DataCell* result, int32_t count, DataCell* args) {
    result->setInt(static_cast<int32_t>(byteSetView(count, args, 0).size()));
}

void toByteSet(DataCell* result, int32_t count, DataCell* args) {
    const DataCell& value = argAt(count, args, 0);
    switch (value.valueType()) {
        case kTypeText: return setByteSet(result, textView(count, args, 0));
        case kTypeByteSet: return setByteSet(result, byteSetView(count, args, 0));
        case kTypeAbsent:
        case kTypeNoValue: return setByteSet(result, {});
        default:
            // Numbers and the other basic values: their little-endian bytes.
            if (!isBasicType(value.valueType())) return setByteSet(result, {});
            setByteSet(result, std::string_view(static_cast<const char*>(value.valuePtr()),
                                                typeWidth(value.valueType())));
    }
}

void leftBytes(DataCell* result, int32_t count, DataCell* args) {
    std::string_view bytes = byteSetView(count, args, 0);
    int32_t n = intArg(count, args, 1);
    setByteSet(result, n <= 0 ? std::string_view() : bytes.substr(0, static_cast<size_t>(n)));
}

void midBytes(DataCell* result, int32_t count, DataCell* args) {
    std::string_view bytes = byteSetView(count, args, 0);
    int32_t start = intArg(count, args, 1), n = intArg(count, args, 2);
    if (start < 1 || static_cast<size_t>(start) > bytes.size() || n <= 0) return setByteSet(result, {});
    setByteSet(result, bytes.substr(static_cast<size_t>(start - 1), static_cast<size_t>(n)));
}

void blankBytes(DataCell* result, int32_t count, DataCell* args) {
    int32_t n = intArg(count, args, 0);
    if (n <= 0) return setByteSet(result, {});
    auto block = static_cast<uint8_t*>(rtAlloc(8 + static_cast<uint32_t>(n)));
    reinterpret_cast<uint32_t*>(block)[0] = 1;
    reinterpret_cast<uint32_t*>(block)[1] = static_cast<uint32_t>(n);
    std::memset(block + 8, 0, static_cast<size_t>(n));
    result->setByteSet(block);
}

void bytesFromAddress(DataCell* result, int32_t count, DataCell* args) {
    auto address = reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<uint32_t>(intArg(count, args, 0))));
    int32_t length = intArg(count, args, 1);
    if (!address || length <= 0) return setByteSet(result, {});
    setByteSet(result, std::string_view(address, static_cast<size_t>(length)));
}

void readValueFromBytes(DataCell* result, int32_t count, DataCell* args) {
    static const uint32_t kTypes[] = {kTypeByte,  kTypeShort,    kTypeInt,        kTypeInt64, kTypeFloat,
                                      kTypeDouble, kTypeBool,    kTypeDateTime,   kTypeSubroutine, kTypeText};
    static const uint32_t kWidths[] = {1, 2, 4, 8, 4, 8, 4, 8, 4, 0};
    std::string_view bytes = byteSetView(count, args, 0);
    int32_t typeNumber = intArg(count, args, 1);
    if (typeNumber < 1 || typeNumber > 10) reportRuntimeError("“欲取出数据的类型”参数值无效", 0, 0, 0);

    const DataCell& positionCell = argAt(count, args, 2);
    int64_t position = int64Arg(count, args, 2, 1);
    // Bytes outside the byte set read as zero.
    auto byteAt = [&](int64_t offset) -> char {
        return (offset >= 0 && offset < static_cast<int64_t>(bytes.size())) ? bytes[static_cast<size_t>(offset)] : 0;
    };
    int64_t offset = position - 1;
    int64_t consumed = kWidths[typeNumber - 1];
    result->type = kTypes[typeNumber - 1];
    if (typeNumber == 10) {
        std::string text;
        if (offset >= 0) {
            for (int64_t i = offset; i < static_cast<int64_t>(bytes.size()) && bytes[static_cast<size_t>(i)]; ++i)
                text += bytes[static_cast<size_t>(i)];
        }
        consumed = static_cast<int64_t>(text.size()) + 1;  // the terminating zero, when present
        result->lo = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(makeText(text.data(), text.size())));
    } else {
        uint8_t value[8] = {};
        for (int64_t i = 0; i < consumed; ++i) value[i] = static_cast<uint8_t>(byteAt(offset + i));
        std::memcpy(&result->lo, value, 8);
        if (typeNumber == 7) result->lo = result->lo ? 1 : 0;
        if (consumed <= 4) result->hi = 0;
    }
    if (positionCell.byReference() && positionCell.lo) {
        int64_t next = position + consumed;
        *reinterpret_cast<int32_t*>(positionCell.lo) =
            next > static_cast<int64_t>(bytes.size()) ? -1 : static_cast<int32_t>(next);
    }
}

}  // namespace rt
