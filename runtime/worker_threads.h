// Threads the program starts for its own routines (the start-thread
// command). Shutdown waits for them before it unloads anything they could
// still be running: library modules, DLL command modules, tables.
#pragma once

#include <windows.h>

#include <cstdint>

namespace rt {

using WorkerRoutine = DWORD(WINAPI*)(void* parameter);
using ThreadCreator = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                                      LPDWORD);

// Starts `routine(parameter)` on a new thread created with `create`, inside
// the error boundary, counted as running until it returns. Returns the
// thread's handle (the caller closes it), or null when no thread started.
HANDLE startWorker(ThreadCreator create, WorkerRoutine routine, void* parameter, DWORD* threadId);

// Work of the program on a thread of its own making (a helper of a worker)
// counts as a running worker from begin to end, so shutdown waits for it too.
void beginCountedWork();
void endCountedWork();

// The calling worker will not return: it waits for the end of the process
// (an end request during shutdown). Shutdown need not wait for it.
void parkCurrentWorker();

// Waits up to `timeoutMs` until no counted worker runs, handling messages
// sent to this thread meanwhile (a worker's request on a window must not
// wait for us). True when none runs.
bool awaitWorkers(uint32_t timeoutMs);

// Workers counted as running now.
int32_t runningWorkers();

}  // namespace rt
