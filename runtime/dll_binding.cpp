// Late binding of DLL commands: name tables from the program header, one
// resolved address and one module handle per index, the module search and
// the runtime errors of an entry that can't be found.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "runtime/dll_commands.h"
#include "runtime/runtime_app.h"
#include "runtime/runtime_error.h"
#include "runtime/service_request.h"

namespace rt {

#define RT_DLL_LIBRARY(index, library, entry) library,
const char* const kDllLibraryNames[kDllCommandCount] = {RT_DLL_COMMANDS(RT_DLL_LIBRARY)};
#undef RT_DLL_LIBRARY
#define RT_DLL_ENTRY(index, library, entry) entry,
const char* const kDllEntryNames[kDllCommandCount] = {RT_DLL_COMMANDS(RT_DLL_ENTRY)};
#undef RT_DLL_ENTRY

namespace {

const char* const kDefaultLibraries[] = {"Kernel32.dll", "Gdi32.dll",  "User32.dll",
                                         "Advapi32.dll", "Mpr.dll",    "Shell32.dll"};

DllSystemCalls gSystemCalls = {&LoadLibraryA, &GetProcAddress, &FreeLibrary};

// Sized once at start-up; resolution takes no lock, so the slots are atomic
// and a race between two binders of one index only costs a module reference.
struct DllTables {
    uint32_t count = 0;
    std::vector<std::string> libraries;
    std::vector<std::string> entries;
    std::unique_ptr<std::atomic<void*>[]> addresses;
    std::unique_ptr<std::atomic<HMODULE>[]> modules;
};
DllTables gTables;

std::string textOr(const char* const* table, uint32_t i) {
    return (table && table[i]) ? std::string(table[i]) : std::string();
}

// "#12" names ordinal 12 (the number taken modulo 65536).
LPCSTR exportName(const std::string& entry) {
    if (!entry.empty() && entry[0] == '#')
        return MAKEINTRESOURCEA(static_cast<WORD>(std::strtoul(entry.c_str() + 1, nullptr, 10) & 0xFFFF));
    return entry.c_str();
}

[[noreturn]] void reportNotFound(const std::string& library, const std::string& entry) {
    char message[1024];
    if (library.empty())
        std::snprintf(message, sizeof message, "无法找到指定DLL库文件中的输出命令“%s”", entry.c_str());
    else
        std::snprintf(message, sizeof message, "无法找到指定DLL库文件“%s”中的输出命令“%s”", library.c_str(),
                      entry.c_str());
    reportRuntimeError(message, 0, 0, 0);
}

// A plain file name: program directory, module directory, then the system's
// own search. A name with a drive letter is taken as given.
HMODULE loadNamedLibrary(const std::string& library) {
    if (library.find(':') != std::string::npos) return gSystemCalls.loadLibrary(library.c_str());
    RuntimeApp& runtime = RuntimeApp::instance();
    std::string inProgramDir = runtime.programDirectory() + "\\" + library;
    if (HMODULE module = gSystemCalls.loadLibrary(inProgramDir.c_str())) return module;
    if (!runtime.moduleDirectory().empty()) {
        std::string inModuleDir = runtime.moduleDirectory() + library;
        if (HMODULE module = gSystemCalls.loadLibrary(inModuleDir.c_str())) return module;
    }
    return gSystemCalls.loadLibrary(library.c_str());
}

}  // namespace

DllSystemCalls& dllSystemCalls() { return gSystemCalls; }

void prepareDllTables(uint32_t count, const char* const* libraries, const char* const* entries) {
    DllTables tables;
    tables.count = count;
    tables.addresses.reset(new std::atomic<void*>[count]);
    tables.modules.reset(new std::atomic<HMODULE>[count]);
    for (uint32_t i = 0; i < count; ++i) {
        tables.libraries.push_back(textOr(libraries, i));
        tables.entries.push_back(textOr(entries, i));
        tables.addresses[i] = nullptr;
        tables.modules[i] = nullptr;
    }
    gTables = std::move(tables);
}

void freeDllModules() {
    for (uint32_t i = 0; i < gTables.count; ++i) {
        if (HMODULE module = gTables.modules[i].exchange(nullptr)) gSystemCalls.freeLibrary(module);
    }
    gTables = DllTables{};
}

HMODULE dllModuleOf(uint32_t index) { return index < gTables.count ? gTables.modules[index].load() : nullptr; }

void* resolveDllCommand(uint32_t index) {
    bool inTable = index < gTables.count;
    if (inTable) {
        if (void* address = gTables.addresses[index].load()) return address;
    }
    // Without prepared tables (a host without program header) the program's
    // own declarations still resolve, only without keeping the binding.
    std::string library, entry;
    if (inTable) {
        library = gTables.libraries[index];
        entry = gTables.entries[index];
    } else if (index < kDllCommandCount) {
        library = kDllLibraryNames[index];
        entry = kDllEntryNames[index];
    }
    LPCSTR name = exportName(entry);

    HMODULE module = nullptr;
    void* address = nullptr;
    if (library.empty()) {
        for (const char* candidate : kDefaultLibraries) {
            HMODULE loaded = gSystemCalls.loadLibrary(candidate);
            if (!loaded) continue;
            address = reinterpret_cast<void*>(gSystemCalls.getProcAddress(loaded, name));
            if (address) {
                module = loaded;
                break;
            }
            gSystemCalls.freeLibrary(loaded);
        }
    } else {
        module = loadNamedLibrary(library);
        if (module) address = reinterpret_cast<void*>(gSystemCalls.getProcAddress(module, name));
    }

    if (!address) {
        if (module) gSystemCalls.freeLibrary(module);
        reportNotFound(library, entry);
    }
    if (inTable) {
        gTables.modules[index] = module;
        gTables.addresses[index] = address;
    }
    return address;
}

}  // namespace rt

// The runtime-service entry 1 and the checked call. The entry finds the
// address and jumps with the caller's stack untouched, so the callee returns
// straight to the caller; the checked call is the compiled call protocol:
// save ESP, push, call, remove cdecl arguments, compare.
extern "C" void* rtResolveDllCommandC(uint32_t index) { return rt::resolveDllCommand(index); }
extern "C" void rtCallDllCommandEntry();
extern "C" uint64_t rtDllCallChecked(void* entry, uint32_t index, const uint32_t* words, uint32_t count,
                                     uint32_t callerRemovesBytes, uint32_t* balanced);

asm(R"(
    .text
    .globl _rtCallDllCommandEntry
    .def _rtCallDllCommandEntry; .scl 2; .type 32; .endef
_rtCallDllCommandEntry:
    pushl %eax
    call _rtResolveDllCommandC
    addl $4, %esp
    jmp *%eax

    .globl _rtDllCallChecked
    .def _rtDllCallChecked; .scl 2; .type 32; .endef
_rtDllCallChecked:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl %esp, %ebx
    movl 16(%ebp), %esi
    movl 20(%ebp), %ecx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  movl 12(%ebp), %eax
    call *8(%ebp)
    addl 24(%ebp), %esp
    movl 28(%ebp), %ecx
    movl $1, (%ecx)
    cmpl %esp, %ebx
    je 3f
    movl $0, (%ecx)
    movl %ebx, %esp
3:  popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

namespace rt {

uint64_t callDllWords(uint32_t index, const uint32_t* words, uint32_t count, DllConvention convention) {
    void* entry = serviceTable().callDllCommand;
    if (!entry) entry = reinterpret_cast<void*>(&rtCallDllCommandEntry);
    uint32_t balanced = 0;
    uint32_t removes = convention == Cdecl ? count * 4 : 0;
    uint64_t result = rtDllCallChecked(entry, index, words, count, removes, &balanced);
    if (!balanced) serviceTable().reportError(6, 0, 0);
    return result;
}

namespace {
// Installed before any start-up runs: the header's tables are prepared and
// the modules freed at the runtime's fixed places.
struct DllBindingInstaller {
    DllBindingInstaller() {
        subsystemHooks().prepareDllTables = &prepareDllTables;
        subsystemHooks().freeDllModules = &freeDllModules;
        serviceTable().callDllCommand = reinterpret_cast<void*>(&rtCallDllCommandEntry);
    }
};
DllBindingInstaller gInstaller;
}  // namespace

}  // namespace rt
