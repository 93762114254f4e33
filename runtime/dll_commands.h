// DLL commands: functions of system libraries declared by library file name
// and entry name, bound late by index on their first call, every call
// checked for a balanced stack (runtime error 6 otherwise).
#pragma once

#include <cstdint>

namespace rt {

// This program's DLL command table, in index order.
enum DllCommand : uint32_t {
    kDllCoInitialize = 0,
    kDllCoUninitialize = 1,
    kDllStrlen = 2,                    // cdecl
    kDllMultiByteToWideChar = 3,
    kDllLstrlenW = 4,
    kDllWideCharToMultiByte = 5,
    kDllSprintf = 6,                   // cdecl
    kDllInternetGetConnectedState = 7,
    kDllInternetOpenA = 8,
    kDllInternetOpenUrlA = 9,
    kDllInternetReadFile = 10,
    kDllCallWindowProcA = 11,          // empty library name: the default system libraries
    kDllInternetCloseHandle = 12,
    kDllInternetOpenA2 = 13,           // the same export, declared a second time
    kDllHttpQueryInfoA = 14,
    kDllCommandCount = 15,
};
extern const char* const kDllLibraryNames[kDllCommandCount];
extern const char* const kDllEntryNames[kDllCommandCount];

// The address for an index; ends the program with a runtime error when the
// entry can't be found (never returns null).
void* resolveDllCommand(uint32_t index);

// Calls through the table with the stack check around the call. Arguments
// are 32-bit words (or 64-bit values taking two), pushed last first.
//   int n = callDll<int, Stdcall>(kDllLstrlenW, text);
//   size_t n = callDll<size_t, Cdecl>(kDllStrlen, text);
enum DllConvention { Stdcall, Cdecl };
template <typename R, DllConvention C, typename... Args>
R callDll(uint32_t index, Args... args);

}  // namespace rt
