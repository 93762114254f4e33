// The thread support library: its description record (library 3 of the
// program's list), the start-thread command and the lock-record list that
// the end notification releases.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/library_info.h"

namespace threads {

extern const rt::LibraryInfo kThreadLibrary;  // "多线程库" 2.0, build 3

// Notification hook: code 1 keeps the given value and answers 0; code 6
// deletes every lock record and answers 0; other codes answer -1.
int32_t __stdcall threadLibraryNotify(int32_t code, int32_t arg1, int32_t arg2);

// A system critical section and the next record.
struct LockRecord {
    CRITICAL_SECTION section;
    LockRecord* next;
};
// Head of the list (null when empty).
LockRecord* lockRecords();
// A new initialised record at the head of the list.
LockRecord* addLockRecord();
// The value handed over with notification code 1.
uint32_t libraryStateValue();

// The system calls of start-thread, replaceable so tests can watch them.
struct ThreadSystemCalls {
    HANDLE(WINAPI* createThread)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD);
    BOOL(WINAPI* closeHandle)(HANDLE);
};
ThreadSystemCalls& threadSystemCalls();

}  // namespace threads
