#include <windows.h>

#include <cstring>

#include "runtime/heap.h"
#include "runtime/runtime_app.h"
#include "runtime/runtime_error.h"
#include "runtime/service_request.h"
#include "runtime/window_system.h"

namespace rt {

namespace {

uint64_t readUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t index) {
    WindowSystem* windows = windowSystem();
    if (!windows) reportRuntimeError("读取组件属性时发现指定窗口尚未载入", 0, static_cast<int32_t>(windowId), 0);
    return windows->readUnitProperty(windowId, unitId, property, index);
}

void writeUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t index, uint32_t lo,
                       uint32_t hi) {
    WindowSystem* windows = windowSystem();
    if (!windows) reportRuntimeError("修改组件属性时发现指定窗口尚未载入", 0, static_cast<int32_t>(windowId), 0);
    windows->writeUnitProperty(windowId, unitId, property, index, lo, hi);
}

void endProgramEntry(int32_t exitCode) { RuntimeApp::instance().endProgram(exitCode); }
void runStartWindowLoopEntry() { RuntimeApp::instance().runStartWindowLoop(); }

void loadStartWindow(uint32_t windowId) {
    WindowSystem* windows = windowSystem();
    if (!windows || windows->loadWindow(windowId, nullptr, 0) != 0)
        reportRuntimeError("载入启动窗口失败", 0, static_cast<int32_t>(windowId), 0);
}

// Find file: a pattern starts a search, an empty pattern continues it.
uint32_t findFile(const char* pattern, uint32_t attributeMask, uint32_t /*flag*/, HANDLE* search) {
    WIN32_FIND_DATAA data;
    bool found;
    if (pattern && *pattern) {
        if (*search && *search != INVALID_HANDLE_VALUE) FindClose(*search);
        *search = FindFirstFileA(pattern, &data);
        found = *search != INVALID_HANDLE_VALUE;
        if (!found) *search = nullptr;
    } else {
        found = *search && FindNextFileA(*search, &data);
    }
    while (found) {
        // Plain files always pass; other attributes only when asked for.
        DWORD special = data.dwFileAttributes &
                        (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if ((special & ~attributeMask) == 0) return reinterpret_cast<uint32_t>(makeText(data.cFileName));
        found = FindNextFileA(*search, &data);
    }
    if (*search) FindClose(*search);
    *search = nullptr;
    return 0;
}

uint32_t auxiliary(int32_t index, uint32_t a1, uint32_t a2, uint32_t a3, uint32_t a4) {
    WindowSystem* windows = windowSystem();
    switch (index) {
        case kAuxFindFile:
            return findFile(reinterpret_cast<const char*>(a1), a2, a3, reinterpret_cast<HANDLE*>(a4));
        case kAuxCloseFind:
            if (a1) FindClose(reinterpret_cast<HANDLE>(a1));
            return 0;
        case kAuxMakeArrayWritable: {
            auto variable = reinterpret_cast<uint32_t**>(a2);
            uint32_t* array = *variable;
            if (array && constantSegmentEndFor(array)) {
                uint32_t size = 4 + 4 * array[0] + a1 * arrayElementCount(array);
                auto copy = static_cast<uint32_t*>(rtAlloc(size));
                std::memcpy(copy, array, size);
                *variable = copy;
            }
            return 0;
        }
        case kAuxRegisterExitHandler:
            RuntimeApp::instance().addExitHandler(reinterpret_cast<ExitHandler>(a1));
            return 0;
        case kAuxReadValueProperty:
            return windows ? static_cast<uint32_t>(windows->readValueProperty(a1, reinterpret_cast<void*>(a2),
                                                                              static_cast<int32_t>(a3)))
                           : 0;
        case kAuxWriteValueProperty:
            if (windows)
                windows->writeValueProperty(a1, reinterpret_cast<void*>(a2), static_cast<int32_t>(a3),
                                            reinterpret_cast<void*>(a4));
            return 0;
        case kAuxRuntimeInit: RuntimeApp::instance().runtimeInit(); return 0;
        default: return 0;
    }
}

RuntimeServiceTable gTable = {
    &reportErrorNumber,   nullptr,            &callCommand, &callCommand, &readUnitProperty,
    &writeUnitProperty,   &rtAlloc,           &rtRealloc,   &rtFree,      &endProgramEntry,
    &runStartWindowLoopEntry, &loadStartWindow, &auxiliary,
};

}  // namespace

RuntimeServiceTable& serviceTable() { return gTable; }

}  // namespace rt
