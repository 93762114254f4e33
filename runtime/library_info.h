// Support-library description records and the program header the build
// leaves in read-only data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/data_cell.h"

namespace rt {

// (code, argument 1, argument 2). Code 1 at start-up hands over the
// runtime's service-request function; code 6 at shutdown the library's state word.
using LibraryNotify = int32_t(__stdcall*)(int32_t code, int32_t arg1, int32_t arg2);
using ServiceRequest = int32_t(__stdcall*)(int32_t code, int32_t arg1, int32_t arg2);

enum LibraryNotifyCode : int32_t {
    kNotifyStart = 1,
    kNotifyEnd = 6,
};

constexpr uint32_t kLibraryFormatVersion = 20000101;

// Field order and widths are fixed: libraries built apart from the program
// read and write it, and the command-function table sits at byte offset 108.
struct LibraryInfo {
    uint32_t formatVersion;           // always kLibraryFormatVersion
    const char* identifier;           // 32 hexadecimal digits
    uint32_t majorVersion;
    uint32_t minorVersion;
    uint32_t buildNumber;
    uint32_t requiredRuntime[4];      // two pairs of required runtime versions
    const char* name;
    uint32_t language;                // 1
    const void* reserved1;
    uint32_t stateFlags;
    const void* reserved2[8];
    uint32_t dataTypeCount;
    const void* dataTypes;
    uint32_t reserved3[2];
    uint32_t commandCount;
    const void* commandInfo;
    const Command* commands;
    uint32_t reserved4[2];
    LibraryNotify notify;
};
static_assert(offsetof(LibraryInfo, commands) == 108, "command-function table at byte offset 108");

// This build's first three header values. The run mode is what service
// request 2030 answers; the build value is kept plus one.
constexpr uint32_t kProgramRunMode = 3;
constexpr uint32_t kProgramSecondMode = 0;
constexpr uint32_t kProgramBuildValue = 125344;

// The fixed table of the build; all fields 32 bits, in this order. An
// aggregate with zero defaults: a program names the fields it sets.
struct ProgramHeader {
    uint32_t runMode = 0;
    uint32_t secondMode = 0;
    uint32_t buildValue = 0;
    const void* codeBase = nullptr;         // handler offsets of the template are relative to it
    const void* constantSegment = nullptr;
    uint32_t constantSegmentSize = 0;
    const uint8_t* windowTemplate = nullptr;
    uint32_t windowTemplateSize = 0;        // 0: no template
    uint32_t libraryCount = 0;
    const LibraryInfo* const* libraries = nullptr;
    uint32_t dllCommandCount = 0;
    const char* const* dllLibraryNames = nullptr;
    const char* const* dllEntryNames = nullptr;
};
static_assert(sizeof(ProgramHeader) == 13 * 4, "thirteen 32-bit fields");

// Every program defines these two: its header and its parameterless start routine.
extern "C" const ProgramHeader rtProgramHeader;
extern "C" int rtStartRoutine();

}  // namespace rt
