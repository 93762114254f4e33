// Control classes as the runtime sees them: one description per class with
// its property table and one interface function that hands out the class's
// routines by operation number.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

class UnitObject;

enum PropertyType : uint32_t {
    kPropInteger = 1001,
    kPropLogical = 1003,
    kPropText = 1005,
    kPropChoice = 1006,
    kPropPicture = 1009,
    kPropPointer = 1011,
    kPropFont = 1013,
    kPropColour = 1014,
    kPropColourOrTransparent = 1015,
    kPropColourOrDefault = 1017,
};
constexpr uint32_t kPropReadOnlyAtRunTime = 0x40000;

struct PropertyDescription {
    uint32_t type;
    uint32_t flags;
};

constexpr bool isByteBufferType(uint32_t type) {
    return type == kPropPicture || type == kPropPointer || type == kPropFont;
}

// A property value as the class routines pass it: 32-bit values in `lo`; a
// text as the address of a zero-terminated text in `lo`; a byte buffer as
// (address, length), address 0 when empty. Addresses stay with the giver.
struct PropertyValue {
    uint32_t lo = 0;
    uint32_t hi = 0;
};

// Class flags.
constexpr uint32_t kClassHasEvents = 0x40;
constexpr uint32_t kClassContainer = 0x100;
constexpr uint32_t kClassNoWindow = 0x8000;

enum ClassOperation : int32_t {
    kOpCreate = 1,
    kOpSetProperty = 4,
    kOpSaveProperties = 5,
    kOpGetProperty = 6,
    kOpService = 7,
    kOpEnumerateTexts = 9,
};

struct CreateRequest {
    HWND parent = nullptr;
    const uint8_t* data = nullptr;   // class property data
    int32_t length = 0;              // 0 or less: none, use the defaults
    DWORD extraStyle = 0;
    HWND parentAgain = nullptr;
    uint32_t controlId = 0;
    HMENU menu = nullptr;            // window only
    int32_t left = 0, top = 0, width = 0, height = 0;
    uint32_t windowId = 0, unitId = 0;
    bool designMode = false;
};

// The routines, by operation.
using CreateRoutine = UnitObject* (*)(const CreateRequest& request);                            // 1
using SetPropertyRoutine = int32_t (*)(UnitObject*, int32_t classProperty, const PropertyValue* value,
                                       uint32_t* out);                                          // 4
using SaveRoutine = std::vector<uint8_t> (*)(UnitObject*);                                      // 5
using GetPropertyRoutine = int32_t (*)(UnitObject*, int32_t classProperty, PropertyValue* out); // 6
using TextCallback = void (*)(void* context, std::string& text);
using EnumerateTextsRoutine = void (*)(UnitObject*, TextCallback callback, void* context);      // 9

using ClassRoutine = void (*)();
using ClassInterface = ClassRoutine (*)(int32_t operation);

struct ClassDescription {
    const char* name;
    uint32_t flags;
    uint32_t propertyCount;
    const PropertyDescription* properties;   // by class property number
    ClassInterface interface;
};

// The class of a class identifier (library index << 16 | class index), or
// null when the library isn't one of the program's or has no such class.
const ClassDescription* findClass(uint32_t classId);

// Typed access to a class's routines; null when the class lacks the operation.
inline CreateRoutine createRoutine(const ClassDescription& c) {
    return reinterpret_cast<CreateRoutine>(c.interface(kOpCreate));
}
inline SetPropertyRoutine setPropertyRoutine(const ClassDescription& c) {
    return reinterpret_cast<SetPropertyRoutine>(c.interface(kOpSetProperty));
}
inline SaveRoutine saveRoutine(const ClassDescription& c) {
    return reinterpret_cast<SaveRoutine>(c.interface(kOpSaveProperties));
}
inline GetPropertyRoutine getPropertyRoutine(const ClassDescription& c) {
    return reinterpret_cast<GetPropertyRoutine>(c.interface(kOpGetProperty));
}
inline EnumerateTextsRoutine enumerateTextsRoutine(const ClassDescription& c) {
    return reinterpret_cast<EnumerateTextsRoutine>(c.interface(kOpEnumerateTexts));
}

}  // namespace ui
