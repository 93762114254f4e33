// The process-wide runtime object: start-up, message loop and shutdown.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/framework/app_skeleton.h"
#include "runtime/library_info.h"

namespace rt {

// Private messages of the runtime.
constexpr UINT kMsgEndProgram = 0x83E7;   // to the hidden owner window; wParam = exit code
constexpr UINT kMsgObjectQuery = 0x8002;  // "which framework object are you?"

using ExitHandler = void (*)();

struct IdleCallback {
    HWND window;
    void(__stdcall* routine)(uint32_t argument);
    uint32_t argument;
};

class RuntimeApp : public fw::AppSkeleton {
public:
    RuntimeApp();
    ~RuntimeApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;
    BOOL OnIdle(LONG count) override;
    BOOL PreTranslateMessage(MSG* message) override;

    // Start-up, in its fixed order (auxiliary service 6).
    void runtimeInit();
    // Runtime-service entry 10.
    void runStartWindowLoop();
    // Mode 0: the main loop; mode 1: the loop of a modal window.
    void runMessageLoop(int mode);
    void cleanupRuntime(int32_t exitCode);
    [[noreturn]] void endProgram(int32_t exitCode);
    // Called by the window runtime after a top-level window is destroyed.
    void afterTopLevelDestroyed();

    void addExitHandler(ExitHandler handler);
    void dropExitHandlers();
    void addIdleCallback(const IdleCallback& callback);
    void removeIdleCallback(HWND window);

    bool isMainThread() const { return GetCurrentThreadId() == mainThreadId_; }
    // The runtime has started (runtimeInit ran): there is a main thread.
    bool started() const { return mainThreadId_ != 0; }
    // Read by workers (end requests, thread calls) while the main thread
    // creates and destroys it.
    HWND hiddenOwner() const { return hiddenOwner_.load(); }
    const std::string& programDirectory() const { return programDirectory_; }
    const std::string& programFileName() const { return programFileName_; }
    const std::string& moduleDirectory() const { return moduleDirectory_; }
    uint32_t runMode() const { return runMode_; }
    bool shuttingDown() const { return shutdown_.load(); }
    // A close waits for a running handler to return (see the window runtime):
    // a blocking request in that handler may give up at once. The event is
    // signalled while it holds.
    void setClosePending(bool pending);
    bool closePending() const { return WaitForSingleObject(closePendingEvent_, 0) == WAIT_OBJECT_0; }
    HANDLE closePendingEvent() const { return closePendingEvent_; }
    bool startDone() const { return startDone_; }

    // Event blocking (window loading, runtime errors, shutdown).
    std::atomic<int32_t> eventBlockCount{0};
    uint32_t modalWindowId = 0;

    // Library list (index from 1) and the per-library state words.
    const std::vector<const LibraryInfo*>& libraries() const { return libraries_; }
    uint32_t& libraryState(uint32_t index) { return libraryStates_.at(index - 1); }

    // Open-file registry (service requests 2011 to 2014).
    int32_t openFileMode(void* file);
    void registerOpenFile(void* file, uint8_t mode);
    bool unregisterOpenFile(void* file);
    void closeAllOpenFiles();

    // Default icons (service request 1000), loaded once.
    void defaultIcons(HICON icons[2]);

    static RuntimeApp& instance();

private:
    void createHiddenOwner();
    [[noreturn]] void endFromOtherThread(int32_t exitCode);

    uint32_t runMode_ = 0, secondMode_ = 0, buildValue_ = 0;
    bool oleInitialised_ = false;
    std::string programDirectory_, programFileName_, moduleDirectory_;
    std::atomic<HWND> hiddenOwner_{nullptr};
    std::atomic<DWORD> mainThreadId_{0};
    std::vector<const LibraryInfo*> libraries_;
    std::vector<uint32_t> libraryStates_;
    std::vector<ExitHandler> exitHandlers_;
    std::vector<IdleCallback> idleCallbacks_;
    bool startDone_ = false;
    std::atomic<bool> shutdown_{false};
    struct OpenFile { void* file; uint8_t mode; };
    std::vector<OpenFile> openFiles_;
    CRITICAL_SECTION openFilesLock_;
    HANDLE closePendingEvent_ = nullptr;
    HICON defaultIcons_[2] = {nullptr, nullptr};
    bool frameworkIdlePending_ = false;
    DWORD idleStart_ = 0;
    std::vector<HWND> finishedIdleWindows_;
};

// Closes a file object of the open-file registry; installed by the file
// commands (the registry only knows opaque objects).
using OpenFileCloser = void (*)(void* file);
void setOpenFileCloser(OpenFileCloser closer);

// Hooks of subsystems built on the core (the DLL tables), called at their
// fixed places in start-up and shutdown. Sound playback is not built into
// this program, so shutdown has none to stop.
struct SubsystemHooks {
    void (*freeDllModules)() = nullptr;
    void (*prepareDllTables)(uint32_t count, const char* const* libraries, const char* const* entries) = nullptr;
};
SubsystemHooks& subsystemHooks();

}  // namespace rt
