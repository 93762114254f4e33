// DLL commands: functions of system libraries declared by library file name
// and entry name, bound late by index on their first call, every call
// checked for a balanced stack (runtime error 6 otherwise).
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace rt {

// This program's DLL command table, in index order: index name, library
// file name, entry name. The one list the index enum and both name tables
// are made from, so an index can never name another row's entry.
#define RT_DLL_COMMANDS(X)                                                                   \
    X(kDllCoInitialize, "ole32.dll", "CoInitialize")                                         \
    X(kDllCoUninitialize, "ole32.dll", "CoUninitialize")                                     \
    X(kDllStrlen, "msvcrt.dll", "strlen") /* cdecl */                                        \
    X(kDllMultiByteToWideChar, "Kernel32.dll", "MultiByteToWideChar")                        \
    X(kDllLstrlenW, "kernel32.dll", "lstrlenW")                                              \
    X(kDllWideCharToMultiByte, "kernel32.dll", "WideCharToMultiByte")                        \
    X(kDllSprintf, "ntdll.dll", "sprintf") /* cdecl */                                       \
    X(kDllInternetGetConnectedState, "Wininet.dll", "InternetGetConnectedState")             \
    X(kDllInternetOpenA, "Wininet.dll", "InternetOpenA")                                     \
    X(kDllInternetOpenUrlA, "Wininet.dll", "InternetOpenUrlA")                               \
    X(kDllInternetReadFile, "Wininet.dll", "InternetReadFile")                               \
    /* empty library name: the default system libraries */                                  \
    X(kDllCallWindowProcA, "", "CallWindowProcA")                                            \
    X(kDllInternetCloseHandle, "Wininet.dll", "InternetCloseHandle")                         \
    /* the same export, declared a second time */                                           \
    X(kDllInternetOpenA2, "wininet.dll", "InternetOpenA")                                    \
    X(kDllHttpQueryInfoA, "wininet.dll", "HttpQueryInfoA")                                   \
    /* resolves the download's redirect targets */                                          \
    X(kDllInternetCombineUrlA, "wininet.dll", "InternetCombineUrlA")

enum DllCommand : uint32_t {
#define RT_DLL_INDEX(index, library, entry) index,
    RT_DLL_COMMANDS(RT_DLL_INDEX)
#undef RT_DLL_INDEX
    kDllCommandCount,
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
