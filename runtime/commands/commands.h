// A typed face over the command call frame for the application's C++ code:
// each function builds the argument cells (an `Arg` left at its default is
// the absent cell of an optional argument) and calls the command through
// the runtime-service table, as compiled calls do.
//
//   int at = rt::cmd::findText(text, "\r\n");
//   rt::cmd::OwnedText head = rt::cmd::leftText(text, at - 1);
//   rt::cmd::messageBox(head.get(), 16);
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "runtime/commands/builtin_commands.h"
#include "runtime/data_cell.h"
#include "runtime/heap.h"
#include "runtime/service_request.h"

namespace rt::cmd {

// Results owned by the caller: freed into the runtime heap when dropped;
// release() hands the block to a variable that frees it itself.
struct RuntimeFree {
    void operator()(void* block) const { rtFree(block); }
};
using OwnedText = std::unique_ptr<char, RuntimeFree>;
using OwnedBytes = std::unique_ptr<uint8_t, RuntimeFree>;

// A one-dimensional array of texts (as splitText returns it).
class TextArray {
public:
    explicit TextArray(void* array = nullptr) : array_(array) {}
    TextArray(TextArray&& other) noexcept : array_(other.release()) {}
    TextArray& operator=(TextArray&& other) noexcept {
        if (this != &other) {
            freeArray(kTypeText, array_);
            array_ = other.release();
        }
        return *this;
    }
    ~TextArray() { freeArray(kTypeText, array_); }
    uint32_t size() const { return array_ ? arrayElementCount(array_) : 0; }
    // Element i (from 0); nullptr is the empty text.
    const char* operator[](uint32_t i) const { return static_cast<char* const*>(arrayElements(array_))[i]; }
    void* get() const { return array_; }
    void* release() {
        void* array = array_;
        array_ = nullptr;
        return array;
    }

private:
    void* array_;
};

// One argument cell. Default: absent (an optional argument left out).
struct Arg {
    DataCell cell{};
    Arg() = default;
    Arg(const DataCell& c) : cell(c) {}
    Arg(int v) : cell(DataCell::ofInt(v)) {}
    Arg(long v) : cell(DataCell::ofInt(static_cast<int32_t>(v))) {}
    Arg(unsigned v) : cell(DataCell::ofInt(static_cast<int32_t>(v))) {}
    Arg(unsigned long v) : cell(DataCell::ofInt(static_cast<int32_t>(v))) {}
    Arg(bool v) : cell(DataCell::ofBool(v)) {}
    Arg(long long v) : cell(DataCell::ofInt64(v)) {}
    Arg(double v) : cell(DataCell::ofDouble(v)) {}
    Arg(const char* text) : cell(DataCell::ofText(text)) {}
    Arg(const uint8_t* byteSet) : cell(DataCell::ofByteSet(byteSet)) {}
    Arg(std::nullptr_t) = delete;  // empty text or empty byte set? say which

    static Arg byteValue(uint8_t v) { return DataCell::ofWord(v, kTypeByte); }
    static Arg shortValue(int16_t v) { return DataCell::ofWord(static_cast<uint16_t>(v), kTypeShort); }
    static Arg floatValue(float v) {
        DataCell c{};
        std::memcpy(&c.lo, &v, 4);
        c.type = kTypeFloat;
        return c;
    }
    static Arg dateTime(double oleDate) { return DataCell::ofDouble(oleDate, kTypeDateTime); }
    static Arg subroutine(const void* code) { return DataCell::ofPointer(code, kTypeSubroutine); }
    // A window or control: window identifier, unit identifier (0 for the
    // window itself), class type code.
    static Arg unit(uint32_t windowId, uint32_t unitId, uint32_t classType) {
        return DataCell{windowId, unitId, classType};
    }
    static Arg comObject(void* block) { return DataCell::ofPointer(block, kTypeComObject); }
    static Arg variant(void* block) { return DataCell::ofPointer(block, kTypeVariant); }
    // The caller's variable by reference (the command may write it).
    static Arg ref(void* variable, uint32_t type) { return DataCell::refTo(variable, type); }
};

namespace detail {
template <typename... A>
DataCell core(Command command, const A&... args) {
    DataCell cells[] = {Arg(args).cell..., DataCell{}};
    return serviceTable().callCoreCommand(command, static_cast<int32_t>(sizeof...(A)), cells);
}
template <typename... A>
DataCell library(Command command, const A&... args) {
    DataCell cells[] = {Arg(args).cell..., DataCell{}};
    return serviceTable().callLibraryCommand(command, static_cast<int32_t>(sizeof...(A)), cells);
}
inline OwnedText text(const DataCell& cell) { return OwnedText(reinterpret_cast<char*>(cell.lo)); }
inline OwnedBytes bytes(const DataCell& cell) { return OwnedBytes(reinterpret_cast<uint8_t*>(cell.lo)); }
inline int32_t integer(const DataCell& cell) { return static_cast<int32_t>(cell.lo); }
inline bool logical(const DataCell& cell) { return cell.lo != 0; }
inline double number(const DataCell& cell) { return cell.asDouble(); }
}  // namespace detail

// --- Texts -------------------------------------------------------------------
inline int32_t textLength(const char* text) { return detail::integer(detail::core(rt::textLength, text)); }
inline OwnedText leftText(const char* text, int32_t n) { return detail::text(detail::core(rt::leftText, text, n)); }
inline OwnedText rightText(const char* text, int32_t n) { return detail::text(detail::core(rt::rightText, text, n)); }
inline OwnedText midText(const char* text, int32_t start, int32_t n) {
    return detail::text(detail::core(rt::midText, text, start, n));
}
inline OwnedText charFromCode(int32_t code) { return detail::text(detail::core(rt::charFromCode, Arg::byteValue(static_cast<uint8_t>(code)))); }
inline int32_t charCode(const char* text, Arg position = {}) {
    return detail::integer(detail::core(rt::charCode, text, position));
}
inline int32_t findText(const char* text, const char* sought, Arg start = {}, Arg ignoreCase = {}) {
    return detail::integer(detail::core(rt::findText, text, sought, start, ignoreCase));
}
inline int32_t findTextBackward(const char* text, const char* sought, Arg end = {}, Arg ignoreCase = {}) {
    return detail::integer(detail::core(rt::findTextBackward, text, sought, end, ignoreCase));
}
inline OwnedText toUpper(const char* text) { return detail::text(detail::core(rt::toUpper, text)); }
inline OwnedText trimText(const char* text) { return detail::text(detail::core(rt::trimText, text)); }
inline OwnedText replaceText(const char* text, const char* sought, Arg replacement = {}, Arg start = {},
                             Arg count = {}, Arg caseSensitive = {}) {
    return detail::text(detail::core(rt::replaceText, text, sought, replacement, start, count, caseSensitive));
}
inline TextArray splitText(const char* text, Arg separator = {}, Arg maximum = {}) {
    return TextArray(reinterpret_cast<void*>(detail::core(rt::splitText, text, separator, maximum).lo));
}
inline OwnedText blankText(int32_t n) { return detail::text(detail::core(rt::blankText, n)); }

// --- Byte sets ---------------------------------------------------------------
inline int32_t byteSetLength(const uint8_t* byteSet) {
    return detail::integer(detail::core(rt::byteSetLength, byteSet));
}
inline OwnedBytes toByteSet(Arg value) { return detail::bytes(detail::core(rt::toByteSet, value)); }
inline OwnedBytes leftBytes(const uint8_t* byteSet, int32_t n) {
    return detail::bytes(detail::core(rt::leftBytes, byteSet, n));
}
inline OwnedBytes midBytes(const uint8_t* byteSet, int32_t start, int32_t n) {
    return detail::bytes(detail::core(rt::midBytes, byteSet, start, n));
}
inline OwnedBytes blankBytes(int32_t n) { return detail::bytes(detail::core(rt::blankBytes, n)); }
inline OwnedBytes bytesFromAddress(const void* address, int32_t length) {
    return detail::bytes(detail::core(rt::bytesFromAddress, static_cast<int>(reinterpret_cast<uintptr_t>(address)), length));
}
// The value cell as read (a text result belongs to the caller). `position`
// may be Arg::ref(&variable, kTypeInt) to have it moved past the value.
inline DataCell readValueFromBytes(const uint8_t* byteSet, int32_t typeNumber, Arg position = {}) {
    return detail::core(rt::readValueFromBytes, byteSet, typeNumber, position);
}

// --- Conversions and arithmetic ------------------------------------------------
inline OwnedText toText(Arg value) { return detail::text(detail::core(rt::toText, value)); }
inline OwnedText textAtAddress(const void* address) {
    return detail::text(detail::core(rt::textAtAddress, static_cast<int>(reinterpret_cast<uintptr_t>(address))));
}
inline uint8_t toByte(Arg value) { return static_cast<uint8_t>(detail::core(rt::toByte, value).lo); }
inline int32_t toInteger(Arg value) { return detail::integer(detail::core(rt::toInteger, value)); }
inline int64_t toInt64(Arg value) { return detail::core(rt::toInt64, value).asInt64(); }
inline double toDouble(Arg value) { return detail::number(detail::core(rt::toDouble, value)); }
inline double roundTo(double value, Arg decimals = {}) { return detail::number(detail::core(rt::roundTo, value, decimals)); }
inline int32_t floorInt(double value) { return detail::integer(detail::core(rt::floorInt, value)); }
// Call it qualified (rt::cmd::remainder): the C library's remainder() is a
// different operation and wins an unqualified call with two doubles.
template <typename... More>
double remainder(double value, double divisor, More... more) {
    return detail::number(detail::core(rt::remainder, value, divisor, static_cast<double>(more)...));
}
template <typename... More>
int32_t bitAnd(int32_t a, int32_t b, More... more) {
    return detail::integer(detail::core(rt::bitAnd, a, b, static_cast<int32_t>(more)...));
}
inline int32_t shiftLeft(int32_t value, int32_t count) { return detail::integer(detail::core(rt::shiftLeft, value, count)); }
inline int32_t shiftRight(int32_t value, int32_t count) { return detail::integer(detail::core(rt::shiftRight, value, count)); }

// --- Files -----------------------------------------------------------------------
inline bool fileExists(const char* path) { return detail::logical(detail::core(rt::fileExists, path)); }
inline OwnedBytes readFile(const char* path) { return detail::bytes(detail::core(rt::readFile, path)); }
// Modes 1..6 (default 3), sharing 1..4 (default 1); 0 on failure.
inline int32_t openFile(const char* path, Arg mode = {}, Arg sharing = {}) {
    return detail::integer(detail::core(rt::openFile, path, mode, sharing));
}
inline void closeFile(int32_t file) { detail::core(rt::closeFile, file); }
inline bool seekToEnd(int32_t file) { return detail::logical(detail::core(rt::seekToEnd, file)); }
template <typename... More>
bool writeBytes(int32_t file, const uint8_t* byteSet, More... more) {
    return detail::logical(detail::core(rt::writeBytes, file, byteSet, static_cast<const uint8_t*>(more)...));
}

// --- System and process ----------------------------------------------------------
// Returns the button: OK 0, Cancel 1, Abort 2, Retry 3, Ignore 4, Yes 5, No 6.
inline int32_t messageBox(Arg shown, Arg flags = {}, Arg caption = {}, Arg owner = {}) {
    return detail::integer(detail::core(rt::messageBox, shown, flags, caption, owner));
}
inline uint32_t tickCount() { return detail::core(rt::tickCount).lo; }
// Window state 1..6 (default 2, normal).
inline bool runProgram(const char* commandLine, Arg wait = {}, Arg windowState = {}) {
    return detail::logical(detail::core(rt::runProgram, commandLine, wait, windowState));
}

// --- Windows and draw panels (Arg::unit cells) -------------------------------
inline bool openWindow(Arg window, Arg owner = {}, Arg modal = {}) {
    return detail::logical(detail::core(rt::openWindow, window, owner, modal));
}
inline void destroyWindow(Arg window, Arg atOnce = {}) { detail::core(rt::destroyWindow, window, atOnce); }
inline void processEvents() { detail::core(rt::processEvents); }
inline void clearPanel(Arg panel, Arg left = {}, Arg top = {}, Arg width = {}, Arg height = {}) {
    detail::core(rt::clearPanel, panel, left, top, width, height);
}
inline void fillPanelRect(Arg panel, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    detail::core(rt::fillPanelRect, panel, left, top, right, bottom);
}
template <typename... Values>
void writePanelText(Arg panel, Arg x, Arg y, const Values&... values) {
    detail::core(rt::writePanelText, panel, x, y, Arg(values)...);
}

// --- COM objects and variants (Arg::comObject / Arg::variant cells) ------------
template <typename... A>
OwnedText comGetText(Arg object, const char* name, const A&... args) {
    return detail::text(detail::core(rt::comGetText, object, name, Arg(args)...));
}
template <typename... A>
double comGetNumber(Arg object, const char* name, const A&... args) {
    return detail::number(detail::core(rt::comGetNumber, object, name, Arg(args)...));
}
// A new 16-byte variant block owned by the caller.
template <typename... A>
void* comGetVariant(Arg object, const char* name, const A&... args) {
    return reinterpret_cast<void*>(detail::core(rt::comGetVariant, object, name, Arg(args)...).lo);
}
template <typename... A>
void comCall(Arg object, const char* name, const A&... args) {
    detail::core(rt::comCall, object, name, Arg(args)...);
}
// The last argument is the value written.
template <typename... A>
bool comSetProperty(Arg object, const char* name, const A&... args) {
    return detail::logical(detail::core(rt::comSetProperty, object, name, Arg(args)...));
}
inline void comAssign(Arg target, Arg source) { detail::core(rt::comAssign, target, source); }
inline void comClear(Arg object) { detail::core(rt::comClear, object); }
inline bool comCreate(Arg object, const char* progIdOrClsid, Arg typeLibrary = {}) {
    return detail::logical(detail::core(rt::comCreate, object, progIdOrClsid, typeLibrary));
}
inline void variantClear(Arg variant) { detail::core(rt::variantClear, variant); }
inline OwnedBytes variantToBytes(Arg variant, Arg index = {}) {
    return detail::bytes(detail::core(rt::variantToBytes, variant, index));
}
inline bool variantSet(Arg variant, Arg value, Arg index = {}) {
    return detail::logical(detail::core(rt::variantSet, variant, value, index));
}

// --- Other support libraries ------------------------------------------------------
using ThreadRoutine = uint32_t(__stdcall*)(uint32_t parameter);
// With a handle variable the caller owns the handle; otherwise it is closed.
inline bool startThread(ThreadRoutine routine, Arg parameter = {}, HANDLE* handleVariable = nullptr) {
    Arg handle = handleVariable ? Arg::ref(handleVariable, kTypeInt) : Arg();
    return detail::logical(detail::library(rt::startThread, Arg::subroutine(reinterpret_cast<const void*>(routine)),
                                           parameter, handle));
}
// `variable` is Arg::ref(&variable, its type).
inline uint32_t dataAddress(Arg variable) { return detail::library(rt::dataAddress, variable).lo; }
template <typename... Values>
OwnedText formatText(const char* format, const Values&... values) {
    return detail::text(detail::library(rt::formatText, format, Arg(values)...));
}
inline OwnedText md5Hex(const uint8_t* byteSet) { return detail::text(detail::library(rt::md5Hex, byteSet)); }

}  // namespace rt::cmd
