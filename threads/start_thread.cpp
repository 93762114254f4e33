// The start-thread command: the application routine runs on a new thread
// with the given parameter; its handle goes to the caller's variable or is
// closed at once.
#include <windows.h>

#include "runtime/commands/builtin_commands.h"
#include "runtime/commands/command_support.h"
#include "runtime/worker_threads.h"
#include "threads/thread_library.h"

namespace threads {
namespace {
ThreadSystemCalls gCalls = {&CreateThread, &CloseHandle};
}
ThreadSystemCalls& threadSystemCalls() { return gCalls; }
}  // namespace threads

namespace rt {

void startThread(DataCell* result, int32_t count, DataCell* args) {
    using namespace command_support;
    auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(argAt(count, args, 0).asPointer());
    uint32_t parameter = count >= 2 ? static_cast<uint32_t>(intArg(count, args, 1)) : 0;
    DWORD threadId = 0;
    threads::ThreadSystemCalls& system = threads::threadSystemCalls();
    // The routine runs inside the error boundary, and shutdown waits for it.
    HANDLE handle =
        routine ? startWorker(system.createThread, routine, reinterpret_cast<void*>(parameter), &threadId) : nullptr;
    result->setBool(handle != nullptr);
    const DataCell& handleVariable = argAt(count, args, 2);
    if (handleVariable.byReference() && handleVariable.lo) {
        *reinterpret_cast<HANDLE*>(handleVariable.lo) = handle;
    } else if (handle) {
        system.closeHandle(handle);
    }
}

}  // namespace rt
