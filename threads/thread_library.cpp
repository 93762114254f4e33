#include "threads/thread_library.h"

#include "runtime/commands/builtin_commands.h"
#include "runtime/heap.h"
#include "runtime/libraries.h"

namespace threads {

namespace {
// No lock guards the list: records are added by commands on the main thread
// and released by the end notification, which runs after them.
LockRecord* gLockRecords = nullptr;
uint32_t gStateValue = 0;

const rt::Command kThreadCommands[] = {&rt::startThread};
}  // namespace

const rt::LibraryInfo kThreadLibrary =
    rt::describeLibrary("b1a3fde2c0a84e6b9f47d25a8c1e6f30", "多线程库", 2, 0, 3, &threadLibraryNotify,
                        kThreadCommands, 1);

LockRecord* lockRecords() { return gLockRecords; }
uint32_t libraryStateValue() { return gStateValue; }

LockRecord* addLockRecord() {
    auto record = static_cast<LockRecord*>(rt::rtAlloc(sizeof(LockRecord)));
    InitializeCriticalSection(&record->section);
    record->next = gLockRecords;
    gLockRecords = record;
    return record;
}

int32_t __stdcall threadLibraryNotify(int32_t code, int32_t arg1, int32_t) {
    switch (code) {
        case rt::kNotifyStart:
            gStateValue = static_cast<uint32_t>(arg1);
            return 0;
        case rt::kNotifyEnd:
            for (LockRecord* record = gLockRecords; record;) {
                DeleteCriticalSection(&record->section);
                LockRecord* next = record->next;
                rt::rtFree(record);
                record = next;
            }
            gLockRecords = nullptr;
            return 0;
        default: return -1;
    }
}

}  // namespace threads
