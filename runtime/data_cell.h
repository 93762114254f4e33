// The typed value cell every command takes and gives, and the type codes.
//
// A cell is 12 bytes: the value (low word, high word) then the type code.
// Values of 4 bytes or less live in the low word; 64-bit integers, doubles
// and date-times use both words; texts, byte sets, arrays and objects are
// held by address in the low word. Type 0 is "absent": an optional argument
// the caller left out.
#pragma once

#include <cstdint>
#include <cstring>

namespace rt {

// Basic types carry bit 31.
enum TypeCode : uint32_t {
    kTypeAbsent     = 0,
    kTypeByte       = 0x80000101u,
    kTypeShort      = 0x80000201u,
    kTypeInt        = 0x80000301u,
    kTypeInt64      = 0x80000401u,
    kTypeFloat      = 0x80000501u,
    kTypeDouble     = 0x80000601u,
    kTypeBool       = 0x80000002u,
    kTypeDateTime   = 0x80000003u,
    kTypeText       = 0x80000004u,
    kTypeByteSet    = 0x80000005u,
    kTypeSubroutine = 0x80000006u,
    kTypeNoValue    = 0x80000007u,
    kTypeEightBytes = 0x80000008u,
};

// Library-defined types: (library index << 16) | type index, both from 1.
constexpr uint32_t libraryType(uint32_t library, uint32_t index) { return (library << 16) | index; }
enum LibraryTypeCode : uint32_t {
    kTypeWindow     = 0x00010001u,
    kTypeDrawPanel  = 0x00010008u,
    kTypeLabel      = 0x0001000Au,
    kTypeTimer      = 0x00010020u,
    kTypeComObject  = 0x00010030u,
    kTypeVariant    = 0x00010031u,
    kTypeTransLabel = 0x00020005u,
    kTypeJMap       = 0x00050004u,
};

// The low word holds the address of the caller's variable, not the value.
constexpr uint32_t kVariableAddressFlag = 0x20000000u;
constexpr uint32_t elementType(uint32_t type) { return type & ~kVariableAddressFlag; }
constexpr bool isBasicType(uint32_t type) { return (type & 0x80000000u) != 0; }

// Width in bytes of a value of this type as copied or pushed (8-byte types
// take two argument words, everything else one).
uint32_t typeWidth(uint32_t type);

struct DataCell {
    uint32_t lo = 0;
    uint32_t hi = 0;
    uint32_t type = kTypeAbsent;

    bool absent() const { return type == kTypeAbsent; }
    bool byReference() const { return (type & kVariableAddressFlag) != 0; }
    uint32_t valueType() const { return elementType(type); }

    // Address of the value itself, following a variable address.
    void* valuePtr() { return byReference() ? reinterpret_cast<void*>(lo) : static_cast<void*>(&lo); }
    const void* valuePtr() const {
        return byReference() ? reinterpret_cast<const void*>(lo) : static_cast<const void*>(&lo);
    }

    int32_t asInt() const { return *static_cast<const int32_t*>(valuePtr()); }
    uint32_t asWord() const { return *static_cast<const uint32_t*>(valuePtr()); }
    int64_t asInt64() const { int64_t v; std::memcpy(&v, valuePtr(), 8); return v; }
    double asDouble() const { double v; std::memcpy(&v, valuePtr(), 8); return v; }
    float asFloat() const { float v; std::memcpy(&v, valuePtr(), 4); return v; }
    bool asBool() const { return asWord() != 0; }
    const char* asText() const { return reinterpret_cast<const char*>(asWord()); }
    uint8_t* asByteSet() const { return reinterpret_cast<uint8_t*>(asWord()); }
    void* asPointer() const { return reinterpret_cast<void*>(asWord()); }

    static DataCell ofInt(int32_t v) { return {static_cast<uint32_t>(v), 0, kTypeInt}; }
    static DataCell ofBool(bool v) { return {v ? 1u : 0u, 0, kTypeBool}; }
    static DataCell ofWord(uint32_t v, uint32_t type) { return {v, 0, type}; }
    static DataCell ofPointer(const void* p, uint32_t type) {
        return {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)), 0, type};
    }
    static DataCell ofText(const char* t) { return ofPointer(t, kTypeText); }
    static DataCell ofByteSet(const uint8_t* b) { return ofPointer(b, kTypeByteSet); }
    static DataCell ofInt64(int64_t v) { DataCell c; std::memcpy(&c.lo, &v, 8); c.type = kTypeInt64; return c; }
    static DataCell ofDouble(double v, uint32_t type = kTypeDouble) {
        DataCell c; std::memcpy(&c.lo, &v, 8); c.type = type; return c;
    }
    // A by-reference argument: the cell carries the variable's address.
    static DataCell refTo(void* variable, uint32_t type) {
        return ofPointer(variable, type | kVariableAddressFlag);
    }

    void setInt(int32_t v) { lo = static_cast<uint32_t>(v); hi = 0; type = kTypeInt; }
    void setBool(bool v) { lo = v ? 1 : 0; hi = 0; type = kTypeBool; }
    void setDouble(double v) { std::memcpy(&lo, &v, 8); type = kTypeDouble; }
    void setInt64(int64_t v) { std::memcpy(&lo, &v, 8); type = kTypeInt64; }
    void setText(char* t) { lo = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(t)); hi = 0; type = kTypeText; }
    void setByteSet(uint8_t* b) { lo = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(b)); hi = 0; type = kTypeByteSet; }
};
static_assert(sizeof(DataCell) == 12, "a data cell is three words");

// Argument i of a frame, or the shared absent cell past the count: reading a
// left-out optional argument never touches memory the caller didn't pass.
const DataCell& argAt(int32_t count, const DataCell* args, int32_t i);

// A command: (result cell, argument count, first argument cell).
using Command = void (*)(DataCell* result, int32_t count, DataCell* args);

// The call-command entry: a zeroed result cell, the call, the result back.
// Core and library commands go through the same entry.
DataCell callCommand(Command command, int32_t count, DataCell* args);

}  // namespace rt
