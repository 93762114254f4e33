// The start-thread command through the call frame, and the thread
// library's record and notification hook.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "runtime/commands/commands.h"
#include "threads/thread_library.h"

using namespace rt::cmd;

namespace {

struct Seen {
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    volatile uint32_t parameter = 0xFFFFFFFF;
    volatile DWORD threadId = 0;
    ~Seen() {
        CloseHandle(done);
        CloseHandle(release);
    }
};
Seen* gSeen = nullptr;

uint32_t __stdcall recordAndWait(uint32_t parameter) {
    gSeen->parameter = parameter;
    gSeen->threadId = GetCurrentThreadId();
    SetEvent(gSeen->done);
    WaitForSingleObject(gSeen->release, INFINITE);
    return parameter + 1;
}

// Watches the command's system calls: the handle it created and the
// handles it closed.
struct HandleWatch {
    threads::ThreadSystemCalls saved = threads::threadSystemCalls();
    HandleWatch() {
        created = nullptr;
        closed.clear();
        threads::threadSystemCalls().createThread = &recordCreate;
        threads::threadSystemCalls().closeHandle = &recordClose;
    }
    ~HandleWatch() { threads::threadSystemCalls() = saved; }
    static HANDLE WINAPI recordCreate(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE routine,
                                      LPVOID parameter, DWORD flags, LPDWORD id) {
        created = CreateThread(security, stack, routine, parameter, flags, id);
        return created;
    }
    static BOOL WINAPI recordClose(HANDLE handle) {
        closed.push_back(handle);
        return CloseHandle(handle);
    }
    static inline HANDLE created = nullptr;
    static inline std::vector<HANDLE> closed;
};

}  // namespace

TEST(StartThread, OnlyTheRoutineGetsParameterZeroAndTheHandleIsClosed) {
    Seen seen;
    gSeen = &seen;
    HandleWatch watch;
    ASSERT_TRUE(startThread(&recordAndWait));
    // Closed before the command returned, while the thread runs on.
    ASSERT_NE(HandleWatch::created, nullptr);
    EXPECT_EQ(HandleWatch::closed, std::vector<HANDLE>{HandleWatch::created});
    ASSERT_EQ(WaitForSingleObject(seen.done, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(seen.parameter, 0u);
    EXPECT_NE(seen.threadId, GetCurrentThreadId());
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, seen.threadId);
    ASSERT_NE(thread, nullptr);
    SetEvent(seen.release);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
}

TEST(StartThread, HandleVariableReceivesAnOpenHandle) {
    Seen seen;
    gSeen = &seen;
    HANDLE handle = nullptr;
    HandleWatch watch;
    ASSERT_TRUE(startThread(&recordAndWait, 41, &handle));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle, HandleWatch::created);
    EXPECT_TRUE(HandleWatch::closed.empty());
    ASSERT_EQ(WaitForSingleObject(seen.done, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(seen.parameter, 41u);
    EXPECT_EQ(GetThreadId(handle), seen.threadId);
    SetEvent(seen.release);
    // The handle stays usable after the thread ended: the exit code is the
    // routine's result.
    ASSERT_EQ(WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeThread(handle, &exitCode));
    EXPECT_EQ(exitCode, 42u);
    EXPECT_TRUE(CloseHandle(handle));
}

TEST(StartThread, WithoutARoutineNothingStarts) {
    HANDLE handle = reinterpret_cast<HANDLE>(1);
    EXPECT_FALSE(startThread(nullptr, 0, &handle));
    EXPECT_EQ(handle, nullptr);
}

TEST(ThreadLibrary, DescriptionRecord) {
    const rt::LibraryInfo& library = threads::kThreadLibrary;
    EXPECT_STREQ(library.name, "多线程库");
    EXPECT_EQ(library.majorVersion, 2u);
    EXPECT_EQ(library.minorVersion, 0u);
    EXPECT_EQ(library.buildNumber, 3u);
    EXPECT_EQ(library.formatVersion, rt::kLibraryFormatVersion);
    EXPECT_EQ(std::strlen(library.identifier), 32u);
    ASSERT_EQ(library.commandCount, 1u);
    EXPECT_EQ(library.commands[0], &rt::startThread);
    EXPECT_EQ(library.notify, &threads::threadLibraryNotify);
}

TEST(ThreadLibrary, NotificationsKeepTheValueAndReleaseLockRecords) {
    EXPECT_EQ(threads::threadLibraryNotify(rt::kNotifyStart, 0x1234, 0), 0);
    EXPECT_EQ(threads::libraryStateValue(), 0x1234u);
    EXPECT_EQ(threads::threadLibraryNotify(2, 0, 0), -1);
    EXPECT_EQ(threads::threadLibraryNotify(7, 0, 0), -1);

    // An empty list: nothing to do, the head stays null.
    ASSERT_EQ(threads::lockRecords(), nullptr);
    EXPECT_EQ(threads::threadLibraryNotify(rt::kNotifyEnd, 0, 0), 0);
    EXPECT_EQ(threads::lockRecords(), nullptr);

    threads::LockRecord* first = threads::addLockRecord();
    threads::LockRecord* second = threads::addLockRecord();
    EXPECT_EQ(threads::lockRecords(), second);
    EXPECT_EQ(second->next, first);
    EnterCriticalSection(&first->section);  // records are live critical sections
    LeaveCriticalSection(&first->section);
    EXPECT_EQ(threads::threadLibraryNotify(rt::kNotifyEnd, 0, 0), 0);
    EXPECT_EQ(threads::lockRecords(), nullptr);
}
