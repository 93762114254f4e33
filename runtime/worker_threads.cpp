#include "runtime/worker_threads.h"

#include <atomic>
#include <memory>

#include "runtime/error_boundary.h"

namespace rt {

namespace {

std::atomic<int32_t> gRunning{0};
// Set on a counted worker's thread; cleared once it no longer counts.
thread_local bool tCounted = false;

struct WorkerStart {
    WorkerRoutine routine;
    void* parameter;
};

void leaveCount() {
    if (!tCounted) return;
    tCounted = false;
    --gRunning;
}

DWORD WINAPI workerEntry(void* start) {
    std::unique_ptr<WorkerStart> own(static_cast<WorkerStart*>(start));
    tCounted = true;
    const DWORD result = protectedCall(DWORD{0}, [&] { return own->routine(own->parameter); });
    own.reset();
    leaveCount();
    return result;
}

}  // namespace

HANDLE startWorker(ThreadCreator create, WorkerRoutine routine, void* parameter, DWORD* threadId) {
    // Counted before the thread exists, so a shutdown that starts meanwhile
    // still waits for it.
    ++gRunning;
    auto start = new WorkerStart{routine, parameter};
    HANDLE thread = create(nullptr, 0, &workerEntry, start, 0, threadId);
    if (!thread) {
        delete start;
        --gRunning;
    }
    return thread;
}

void parkCurrentWorker() { leaveCount(); }

void beginCountedWork() { ++gRunning; }
void endCountedWork() { --gRunning; }

bool awaitWorkers(uint32_t timeoutMs) {
    const DWORD start = GetTickCount();
    while (gRunning.load() > 0) {
        const DWORD waited = GetTickCount() - start;
        if (waited >= timeoutMs) return false;
        // Sent messages are handled inside the wait and the peek.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return true;
}

int32_t runningWorkers() { return gRunning.load(); }

}  // namespace rt
