#include "runtime/runtime_app.h"

#include <ole2.h>

#include <algorithm>
#include <cstring>

#include "runtime/error_boundary.h"
#include "runtime/framework/window_object.h"
#include "runtime/heap.h"
#include "runtime/runtime_error.h"
#include "runtime/thread_call.h"
#include "runtime/service_request.h"
#include "runtime/window_system.h"
#include "runtime/worker_threads.h"

namespace rt {

namespace {
// How long shutdown waits for running workers (after the exit handlers have
// asked them to stop) before it ends the process without unloading.
constexpr uint32_t kWorkerJoinMs = 2000;

RuntimeApp* gRuntime = nullptr;
OpenFileCloser gOpenFileCloser = nullptr;
SubsystemHooks gHooks;

LRESULT hiddenOwnerMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (handleThreadCall(message, wParam, lParam, result)) return result;
    switch (message) {
        case kMsgEndProgram:
            // Once shutdown runs (it handles sent messages while it waits
            // for workers), the end under way is the one that counts.
            if (RuntimeApp::instance().shuttingDown()) return 0;
            RuntimeApp::instance().endProgram(static_cast<int32_t>(wParam));
        // It owns every top-level window: closing it (as a task manager's
        // close does, window by window) would destroy them all underneath
        // whatever runs. The windows get their own close.
        case WM_CLOSE: return 0;
        default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK hiddenOwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return protectedCall(LRESULT{0}, [&] { return hiddenOwnerMessage(hwnd, message, wParam, lParam); });
}

void callGuarded(ExitHandler handler) { protectedRun(handler); }

int32_t notifyLibrary(const LibraryInfo* library, int32_t code, int32_t argument) {
    if (!library || !library->notify) return 0;
    return protectedCall(0, [&] { return library->notify(code, argument, 0); });
}
}  // namespace

void setOpenFileCloser(OpenFileCloser closer) { gOpenFileCloser = closer; }
SubsystemHooks& subsystemHooks() { return gHooks; }

RuntimeApp& RuntimeApp::instance() { return *gRuntime; }

RuntimeApp::RuntimeApp() {
    gRuntime = this;
    InitializeCriticalSection(&openFilesLock_);
    closePendingEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

RuntimeApp::~RuntimeApp() {
    // The normal end: every list is empty by now, so nothing is released twice.
    cleanupRuntime(0);
    DeleteCriticalSection(&openFilesLock_);
    if (closePendingEvent_) CloseHandle(closePendingEvent_);
    if (gRuntime == this) gRuntime = nullptr;
}

BOOL RuntimeApp::InitInstance() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(AppSkeleton::instance(), path, MAX_PATH);
    if (char* slash = std::strrchr(path, '\\')) slash[1] = 0;
    moduleDirectory_ = path;
    return protectedCall(0, [] { return rtStartRoutine(); });
}

int RuntimeApp::ExitInstance() {
    cleanupRuntime(0);
    return fw::AppSkeleton::ExitInstance();
}

void RuntimeApp::runtimeInit() {
    const ProgramHeader& header = rtProgramHeader;
    runMode_ = header.runMode;
    secondMode_ = header.secondMode;
    buildValue_ = header.buildValue + 1;

    if (!oleInitialised_) {
        OleInitialize(nullptr);
        oleInitialised_ = true;
    }

    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full = path;
    size_t slash = full.rfind('\\');
    if (slash == std::string::npos) {
        programDirectory_.clear();
        programFileName_ = full;
    } else {
        programDirectory_ = full.substr(0, slash);
        programFileName_ = full.substr(slash + 1);
    }
    SetCurrentDirectoryA(programDirectory_.c_str());

    createHiddenOwner();
    mainThreadId_ = GetCurrentThreadId();

    if (header.constantSegmentSize > 0) setConstantSegment(header.constantSegment, header.constantSegmentSize);
    if (header.dllCommandCount > 0 && gHooks.prepareDllTables)
        gHooks.prepareDllTables(header.dllCommandCount, header.dllLibraryNames, header.dllEntryNames);

    libraries_.assign(header.libraries, header.libraries + header.libraryCount);
    libraryStates_.assign(header.libraryCount, 0);
    for (const LibraryInfo* library : libraries_)
        notifyLibrary(library, kNotifyStart, static_cast<int32_t>(reinterpret_cast<uintptr_t>(&requestService)));

    if (header.windowTemplateSize > 0) {
        WindowSystem* windows = windowSystem();
        if (!windows || !windows->loadTemplates(header.windowTemplate, header.windowTemplateSize, header.codeBase))
            reportRuntimeError("载入窗口模板数据段出错!", 0, 0, 0);
    }
}

void RuntimeApp::createHiddenOwner() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = hiddenOwnerProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    windowClass.lpszClassName = "_RT_HideOwner";
    RegisterClassA(&windowClass);
    hiddenOwner_.store(CreateWindowExA(WS_EX_TOOLWINDOW, "_RT_HideOwner", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                       windowClass.hInstance, nullptr));
}

void RuntimeApp::runStartWindowLoop() {
    startDone_ = true;
    WindowSystem* windows = windowSystem();
    if (windows && windows->anyWindowLoaded()) runMessageLoop(0);
}

void RuntimeApp::runMessageLoop(int mode) {
    bool idle = true;
    LONG idleCount = 0;
    MSG peek;
    for (;;) {
        while (idle && !PeekMessageA(&peek, nullptr, 0, 0, PM_NOREMOVE)) {
            for (size_t i = idleCallbacks_.size(); i-- > 0;) {
                if (i >= idleCallbacks_.size()) continue;  // a callback removed entries
                IdleCallback entry = idleCallbacks_[i];
                if (IsWindow(entry.window)) {
                    entry.routine(entry.argument);
                } else {
                    idleCallbacks_.erase(idleCallbacks_.begin() + static_cast<long>(i));
                }
            }
            if (!OnIdle(idleCount++)) idle = false;
            if (mode == 1 && modalWindowId == 0) return;
        }
        do {
            if (mode == 1 && PeekMessageA(&peek, nullptr, 0, 0, PM_NOREMOVE) && peek.message == WM_QUIT) return;
            if (!PumpMessage()) return;
            if (mode == 1 && modalWindowId == 0) return;
            if (IsIdleMessage(&lastMessage())) {
                idle = true;
                idleCount = 0;
            }
        } while (PeekMessageA(&peek, nullptr, 0, 0, PM_NOREMOVE));
    }
}

BOOL RuntimeApp::OnIdle(LONG count) {
    if (count == 0) {
        frameworkIdlePending_ = true;
        idleStart_ = GetTickCount();
        finishedIdleWindows_.clear();
    }
    if (frameworkIdlePending_) {
        frameworkIdlePending_ = fw::AppSkeleton::OnIdle(count) != FALSE;
        return TRUE;
    }
    if (count == 1) return TRUE;
    WindowSystem* windows = windowSystem();
    if (!windows) return FALSE;
    return windows->fireIdleEvents(GetTickCount() - idleStart_, finishedIdleWindows_) ? TRUE : FALSE;
}

BOOL RuntimeApp::PreTranslateMessage(MSG* message) {
    if (!message->hwnd) return fw::AppSkeleton::PreTranslateMessage(message);
    // Offer the message to the framework object of the window and of each
    // parent up to the top-level window; a unit window without an object is
    // asked for one (0x8002). Foreign windows are never asked: their answer
    // to a private message means nothing. The query stays although this
    // program's own classes attach their object on their first message (so
    // never need it): it is how a unit window of a library's class, which
    // keeps its object elsewhere, makes it known.
    WindowSystem* windows = windowSystem();
    for (HWND hwnd = message->hwnd; hwnd; hwnd = GetParent(hwnd)) {
        fw::WindowObject* object = fw::WindowObject::fromHandle(hwnd);
        if (!object && windows && windows->isLoadedUnitWindow(hwnd))
            object = reinterpret_cast<fw::WindowObject*>(SendMessageA(hwnd, kMsgObjectQuery, 0, 0));
        if (object && object->PreTranslateMessage(message)) return TRUE;
        if (!(GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD)) break;
    }
    return FALSE;
}

void RuntimeApp::afterTopLevelDestroyed() {
    WindowSystem* windows = windowSystem();
    if (startDone_ && windows && !windows->anyWindowLoaded()) PostQuitMessage(0);
}

void RuntimeApp::setClosePending(bool pending) {
    if (pending) SetEvent(closePendingEvent_);
    else ResetEvent(closePendingEvent_);
}

void RuntimeApp::addExitHandler(ExitHandler handler) {
    if (std::find(exitHandlers_.begin(), exitHandlers_.end(), handler) == exitHandlers_.end())
        exitHandlers_.push_back(handler);
}

void RuntimeApp::dropExitHandlers() { exitHandlers_.clear(); }

void RuntimeApp::addIdleCallback(const IdleCallback& callback) {
    if (!IsWindow(callback.window)) return;
    for (const IdleCallback& entry : idleCallbacks_)
        if (entry.window == callback.window) return;
    idleCallbacks_.push_back(callback);
}

void RuntimeApp::removeIdleCallback(HWND window) {
    idleCallbacks_.erase(std::remove_if(idleCallbacks_.begin(), idleCallbacks_.end(),
                                        [window](const IdleCallback& e) { return e.window == window; }),
                         idleCallbacks_.end());
}

int32_t RuntimeApp::openFileMode(void* file) {
    EnterCriticalSection(&openFilesLock_);
    int32_t mode = -1;
    for (const OpenFile& entry : openFiles_)
        if (entry.file == file) mode = entry.mode;
    LeaveCriticalSection(&openFilesLock_);
    return mode;
}

void RuntimeApp::registerOpenFile(void* file, uint8_t mode) {
    EnterCriticalSection(&openFilesLock_);
    openFiles_.push_back({file, mode});
    LeaveCriticalSection(&openFilesLock_);
}

bool RuntimeApp::unregisterOpenFile(void* file) {
    EnterCriticalSection(&openFilesLock_);
    auto it = std::find_if(openFiles_.begin(), openFiles_.end(), [file](const OpenFile& e) { return e.file == file; });
    bool found = it != openFiles_.end();
    if (found) openFiles_.erase(it);
    LeaveCriticalSection(&openFilesLock_);
    return found;
}

void RuntimeApp::closeAllOpenFiles() {
    EnterCriticalSection(&openFilesLock_);
    std::vector<OpenFile> files;
    files.swap(openFiles_);
    LeaveCriticalSection(&openFilesLock_);
    if (gOpenFileCloser)
        for (const OpenFile& entry : files) gOpenFileCloser(entry.file);
}

void RuntimeApp::defaultIcons(HICON icons[2]) {
    if (!defaultIcons_[0]) {
        HINSTANCE module = GetModuleHandleA(nullptr);
        defaultIcons_[0] = static_cast<HICON>(LoadImageA(module, "DEFAULT_ICON", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                         GetSystemMetrics(SM_CYICON), 0));
        defaultIcons_[1] = static_cast<HICON>(LoadImageA(module, "DEFAULT_ICON", IMAGE_ICON,
                                                         GetSystemMetrics(SM_CXSMICON),
                                                         GetSystemMetrics(SM_CYSMICON), 0));
    }
    icons[0] = defaultIcons_[0];
    icons[1] = defaultIcons_[1];
}

void RuntimeApp::endFromOtherThread(int32_t exitCode) {
    // Exit handlers and library shutdown always run on the main thread; this
    // thread waits there for the end of the process, so shutdown needn't
    // wait for it.
    parkCurrentWorker();
    HWND owner = hiddenOwner_.load();
    if (!shutdown_.load() && owner && IsWindow(owner))
        SendMessageA(owner, kMsgEndProgram, static_cast<WPARAM>(exitCode), 0);
    // No main thread took the request (it has none to take it with): end here.
    if (!shutdown_.load()) ExitProcess(static_cast<UINT>(exitCode));
    for (;;) Sleep(INFINITE);
}

void RuntimeApp::cleanupRuntime(int32_t exitCode) {
    ++eventBlockCount;
    if (mainThreadId_ != 0 && !isMainThread()) endFromOtherThread(exitCode);
    shutdown_ = true;
    idleCallbacks_.clear();
    if (WindowSystem* windows = windowSystem()) windows->clearRegistry();

    std::vector<ExitHandler> handlers;
    handlers.swap(exitHandlers_);
    for (ExitHandler handler : handlers) callGuarded(handler);

    // The exit handlers asked the workers to stop. One still running may be
    // inside a library module or a DLL command: rather than unload code from
    // under it, the process ends here.
    if (!awaitWorkers(kWorkerJoinMs)) ExitProcess(static_cast<UINT>(exitCode));

    std::vector<const LibraryInfo*> libraries;
    libraries.swap(libraries_);
    for (size_t i = 0; i < libraries.size(); ++i)
        notifyLibrary(libraries[i], kNotifyEnd, static_cast<int32_t>(libraryStates_[i]));
    libraryStates_.clear();

    if (gHooks.freeDllModules) gHooks.freeDllModules();

    // The constant segment's bounds stay: a thread that outlives the join
    // (one the runtime didn't start) may still free a literal, which must
    // not reach HeapFree.
    for (HICON& icon : defaultIcons_) {
        if (icon) DestroyIcon(icon);
        icon = nullptr;
    }
    // Forgotten before it goes: a worker that reads it from now on finds none.
    HWND owner = hiddenOwner_.exchange(nullptr);
    if (owner && IsWindow(owner)) DestroyWindow(owner);

    closeAllOpenFiles();
    releaseIconRecords();

    if (oleInitialised_) {
        OleUninitialize();
        oleInitialised_ = false;
    }
}

void RuntimeApp::endProgram(int32_t exitCode) {
    cleanupRuntime(exitCode);
    ExitProcess(static_cast<UINT>(exitCode));
}

}  // namespace rt
