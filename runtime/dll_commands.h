// DLL commands: functions of system libraries declared by library file name
// and entry name, bound late by index on their first call, every call
// checked for a balanced stack (runtime error 6 otherwise).
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <type_traits>

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
    kDllInternetCombineUrlA = 15,      // resolves the download's redirect targets
    kDllCommandCount = 16,
};
extern const char* const kDllLibraryNames[kDllCommandCount];
extern const char* const kDllEntryNames[kDllCommandCount];

// The address for an index; ends the program with a runtime error when the
// entry can't be found (never returns null).
void* resolveDllCommand(uint32_t index);

// The runtime tables (normally filled from the program header at start-up
// through the subsystem hooks; callable directly by hosts without a header).
void prepareDllTables(uint32_t count, const char* const* libraries, const char* const* entries);
void freeDllModules();
// Module handle bound to an index, or null (unbound or outside the table).
HMODULE dllModuleOf(uint32_t index);

// The system calls of the binding, replaceable so tests can watch the search.
struct DllSystemCalls {
    HMODULE(WINAPI* loadLibrary)(LPCSTR name);
    FARPROC(WINAPI* getProcAddress)(HMODULE module, LPCSTR name);
    BOOL(WINAPI* freeLibrary)(HMODULE module);
};
DllSystemCalls& dllSystemCalls();

// Calls through the table with the stack check around the call. Arguments
// are 32-bit words (or 64-bit values taking two), pushed last first.
//   int n = callDll<int, Stdcall>(kDllLstrlenW, text);
//   size_t n = callDll<size_t, Cdecl>(kDllStrlen, text);
// Results come back in EDX:EAX; floating-point results are not supported.
enum DllConvention { Stdcall, Cdecl };
template <typename R, DllConvention C, typename... Args>
R callDll(uint32_t index, Args... args);

// The call itself: words in memory order (first argument first). Reports
// runtime error 6 when the callee left the stack unbalanced.
uint64_t callDllWords(uint32_t index, const uint32_t* words, uint32_t count, DllConvention convention);

namespace dll_detail {
template <typename T>
constexpr uint32_t wordsOf() { return sizeof(T) > 4 ? 2u : 1u; }

template <typename T>
void putWords(uint32_t*& out, T value) {
    static_assert(sizeof(T) <= 8 && std::is_trivially_copyable_v<T>, "DLL arguments are one or two words");
    if constexpr (std::is_pointer_v<T> || std::is_null_pointer_v<T>) {
        *out++ = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value));
    } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
        if constexpr (sizeof(T) > 4) {
            std::memcpy(out, &value, 8);
            out += 2;
        } else {
            *out++ = static_cast<uint32_t>(value);
        }
    } else if constexpr (sizeof(T) > 4) {
        std::memcpy(out, &value, 8);
        out += 2;
    } else {
        uint32_t word = 0;
        std::memcpy(&word, &value, sizeof value);
        *out++ = word;
    }
}
}  // namespace dll_detail

template <typename R, DllConvention C, typename... Args>
R callDll(uint32_t index, Args... args) {
    static_assert(!std::is_floating_point_v<R>, "floating-point results come in ST0, not EDX:EAX");
    uint32_t words[(0u + ... + dll_detail::wordsOf<Args>()) + 1];
    uint32_t* out = words;
    (dll_detail::putWords(out, args), ...);
    uint64_t result = callDllWords(index, words, static_cast<uint32_t>(out - words), C);
    if constexpr (std::is_void_v<R>) {
        (void)result;
    } else if constexpr (std::is_pointer_v<R>) {
        return reinterpret_cast<R>(static_cast<uintptr_t>(static_cast<uint32_t>(result)));
    } else if constexpr (sizeof(R) <= 4) {
        return static_cast<R>(static_cast<uint32_t>(result));
    } else {
        R value;
        std::memcpy(&value, &result, 8);
        return value;
    }
}

}  // namespace rt
