// The two ways into the runtime: the runtime-service table (13 entries, for
// the application code) and the service-request function (by number, for
// the support libraries).
#pragma once

#include <cstdint>

#include "runtime/data_cell.h"

namespace rt {

enum ServiceCode : int32_t {
    kSvcDefaultIcons = 1000,
    kSvcWindowRegistry = 1001,
    kSvcClassInfo = 1002,
    kSvcAlwaysOne = 1004,
    kSvcRuntimeVersion = 1005,
    kSvcPathText = 1006,
    kSvcWrapForeignWindow = 1007,
    kSvcDeleteObject = 1008,
    kSvcDetachWindow = 1009,
    kSvcObjectHandle = 1010,
    kSvcAttach = 1011,
    kSvcAddIdleCallback = 1012,
    kSvcRemoveIdleCallback = 1013,
    kSvcIsLoadedUnitWindow = 1014,
    kSvcUnitDestroyed = 2000,
    kSvcNumericToInt = 2001,
    kSvcProgramDirectory = 2003,
    kSvcProgramFileName = 2004,
    kSvcLoadWindow = 2005,
    kSvcUnitObject = 2006,
    kSvcUnitObjectOrError = 2007,
    kSvcFireEvent = 2008,
    kSvcBlockEvents = 2009,
    kSvcUnblockEvents = 2010,
    kSvcOpenFileMode = 2011,
    kSvcRegisterOpenFile = 2012,
    kSvcUnregisterOpenFile = 2013,
    kSvcCloseAllFiles = 2014,
    kSvcPlaySound = 2015,
    kSvcStopSound = 2016,
    kSvcProcessEvents = 2018,
    kSvcAddIconRecord = 2019,
    kSvcRemoveIconRecord = 2020,
    kSvcHasIconRecord = 2021,
    kSvcClassOfUnit = 2022,
    kSvcFreeArray = 2023,
    kSvcAllocate = 2024,
    kSvcFree = 2025,
    kSvcReallocate = 2026,
    kSvcRuntimeError = 2027,
    kSvcEndProgram = 2028,
    kSvcClassKind = 2029,
    kSvcRunMode = 2030,
    kSvcCallRoutine = 2031,
    kSvcWindowCount = 2032,
    kSvcWindowHandle = 2033,
    kSvcReleaseComObject = 2035,
    kSvcTypeInterface = 2036,
};

// The runtime's service-request function; its address goes to every library.
int32_t __stdcall requestService(int32_t code, int32_t arg1, int32_t arg2);

// Handlers of later subsystems for requests the core can't answer itself.
struct ServiceExtensions {
    void (*releaseComObject)(void* value) = nullptr;                            // 2035
};
ServiceExtensions& serviceExtensions();

// Process the calling thread's waiting messages until the queue is empty or
// WM_QUIT waits (request 2018).
void processWaitingMessages();

// Release the icon records of requests 2019 to 2021 (shutdown).
void releaseIconRecords();

// The idle-callback record of request 1012.
struct IdleCallbackRecord {
    uint32_t window;
    uint32_t routine;
    uint32_t argument;
};

// The runtime-service table, reached by the application code by entry number.
struct RuntimeServiceTable {
    void (*reportError)(int32_t number, int32_t location1, int32_t location2);                     // 0
    void* callDllCommand;                                                                         // 1 (set by the DLL binding)
    DataCell (*callLibraryCommand)(Command command, int32_t count, DataCell* args);               // 2
    DataCell (*callCoreCommand)(Command command, int32_t count, DataCell* args);                  // 3
    uint64_t (*readUnitProperty)(uint32_t windowId, uint32_t unitId, int32_t property, int32_t index);  // 4
    void (*writeUnitProperty)(uint32_t windowId, uint32_t unitId, int32_t property, int32_t index,
                              uint32_t lo, uint32_t hi);                                          // 5
    void* (*allocate)(uint32_t size);                                                             // 6
    void* (*reallocate)(void* block, uint32_t size);                                              // 7
    void (*free)(void* block);                                                                    // 8
    void (*endProgram)(int32_t exitCode);                                                         // 9
    void (*runStartWindowLoop)();                                                                 // 10
    void (*loadStartWindow)(uint32_t windowId);                                                   // 11
    uint32_t (*auxiliary)(int32_t index, uint32_t a1, uint32_t a2, uint32_t a3, uint32_t a4);     // 12
};
RuntimeServiceTable& serviceTable();

// Auxiliary services (entry 12), by index.
enum AuxiliaryService : int32_t {
    kAuxFindFile = 0,
    kAuxCloseFind = 1,
    kAuxMakeArrayWritable = 2,
    kAuxRegisterExitHandler = 3,
    kAuxReadValueProperty = 4,
    kAuxWriteValueProperty = 5,
    kAuxRuntimeInit = 6,
};

}  // namespace rt
