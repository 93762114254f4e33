// A program on the runtime that ends the way its command line asks:
//   runtime_probe SCENARIO LOGFILE
// It logs library notifications, exit handlers and start-up facts to LOGFILE
// so that the tests can check order and exit codes from outside.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/probe_support.h"
#include "runtime/dll_commands.h"
#include "runtime/libraries.h"
#include "runtime/runtime_app.h"
#include "runtime/runtime_error.h"
#include "runtime/service_request.h"
#include "runtime/window_system.h"
#include "runtime/worker_threads.h"

namespace {

std::string gLogPath;

void logLine(const std::string& line) {
    if (FILE* f = std::fopen(gLogPath.c_str(), "ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

int32_t __stdcall probeNotify(int32_t code, int32_t arg1, int32_t) {
    if (code == rt::kNotifyStart) {
        auto request = reinterpret_cast<rt::ServiceRequest>(arg1);
        logLine(std::string("notify-start ") + (request ? std::to_string(request(1005, 0, 0)) : "null"));
    } else if (code == rt::kNotifyEnd) {
        logLine("notify-end main=" + std::to_string(rt::RuntimeApp::instance().isMainThread()));
    }
    return 0;
}

const rt::LibraryInfo kProbeLibrary =
    rt::describeLibrary("0123456789abcdef0123456789abcdef", "probe", 1, 0, 0, &probeNotify);
const rt::LibraryInfo* const kLibraries[] = {&rt::kCoreLibrary, &kProbeLibrary};

void handlerA() { logLine("exit-A main=" + std::to_string(rt::RuntimeApp::instance().isMainThread())); }
void handlerB() { logLine("exit-B"); }

// The smallest window system: one plain top-level window counts as loaded.
class OneWindowSystem : public rt::WindowSystem {
public:
    HWND window = nullptr;
    bool loadTemplates(const uint8_t*, uint32_t, const void*) override { return true; }
    void clearRegistry() override {}
    void* registry() override { return nullptr; }
    void* classInfo(uint32_t) override { return nullptr; }
    uint32_t classKind(uint32_t) override { return 0; }
    int32_t loadWindow(uint32_t, void*, int32_t) override { return -1; }
    void* unitObject(uint32_t, uint32_t) override { return nullptr; }
    int32_t fireEvent(void*) override { return 0; }
    int32_t callRoutine(void*) override { return 0; }
    void unitDestroyed(uint32_t, uint32_t) override {}
    uint32_t classOfUnit(uint32_t, uint32_t) override { return 0; }
    uint32_t windowCount() override { return 1; }
    HWND windowHandle(uint32_t) override { return window; }
    bool isLoadedUnitWindow(HWND hwnd) override { return hwnd == window; }
    bool anyWindowLoaded() override { return window && IsWindow(window); }
    bool fireIdleEvents(uint32_t, std::vector<HWND>&) override { return false; }
    bool windowTagText(uint32_t, std::string&) override { return false; }
    bool unitTagText(uint32_t, uint32_t, std::string&) override { return false; }
    uint64_t readUnitProperty(uint32_t, uint32_t, int32_t, int32_t) override { return 0; }
    void writeUnitProperty(uint32_t, uint32_t, int32_t, int32_t, uint32_t, uint32_t) override {}
    uint64_t readValueProperty(uint32_t, void*, int32_t) override { return 0; }
    void writeValueProperty(uint32_t, void*, int32_t, void*) override {}
    void destroyWindow(uint32_t, bool) override {}
    HWND unitWindowHandle(uint32_t, uint32_t) override { return nullptr; }
    void clearPanel(uint32_t, uint32_t, const rt::PanelArea&) override {}
    void fillPanelRect(uint32_t, uint32_t, int32_t, int32_t, int32_t, int32_t) override {}
    void writePanelText(uint32_t, uint32_t, std::optional<int32_t>, std::optional<int32_t>,
                        const std::vector<std::string>&) override {}
};
OneWindowSystem gWindows;

LRESULT CALLBACK probeWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        KillTimer(hwnd, wParam);
        logLine("timer-closed");
        DestroyWindow(hwnd);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        gWindows.window = nullptr;
        rt::RuntimeApp::instance().modalWindowId = 0;  // as the window runtime ends a modal loop
        rt::RuntimeApp::instance().afterTopLevelDestroyed();
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void openProbeWindow(UINT closeAfterMs, UINT_PTR timerId = 1) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = probeWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ProbeWindow";
    RegisterClassA(&windowClass);
    gWindows.window = CreateWindowExA(0, "ProbeWindow", "probe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                      nullptr, windowClass.hInstance, nullptr);
    if (closeAfterMs) SetTimer(gWindows.window, timerId, closeAfterMs, nullptr);
}

// The window opened after an early close lives this long inside the loop.
constexpr UINT kLateWindowCloseMs = 200;

// A modal loop whose window a timer closes: the last message it pumps is a
// WM_TIMER whose wParam is the timer's id, which is no exit code.
constexpr UINT_PTR kModalTimerId = 2;
constexpr UINT kModalCloseMs = 100;
constexpr uint32_t kModalWindowId = 1;

void runModalLoopUntilItsWindowCloses() {
    openProbeWindow(kModalCloseMs, kModalTimerId);
    rt::RuntimeApp& app = rt::RuntimeApp::instance();
    app.modalWindowId = kModalWindowId;
    app.runMessageLoop(1);
    logLine("modal-returned");
}

// Cells that service request 2001 must refuse as no number.
void convertNonNumber(const std::string& scenario) {
    rt::DataCell logical = rt::DataCell::ofBool(true);
    rt::DataCell dateTime = rt::DataCell::ofDouble(45356.0, rt::kTypeDateTime);
    const rt::DataCell* cell = scenario == "not-number-logical" ? &logical
                               : scenario == "not-number-date"  ? &dateTime
                                                                : nullptr;
    int32_t value = rt::requestService(rt::kSvcNumericToInt, reinterpret_cast<int32_t>(cell), 0);
    logLine("converted " + std::to_string(value));
}

// Shutdown with a worker of the program still running: the exit handler
// asks it to stop (the event) and the worker answers as the scenario says.
HANDLE gStopWorker = CreateEventA(nullptr, TRUE, FALSE, nullptr);
constexpr DWORD kWorkerStopMs = 300;
constexpr DWORD kNeverStops = 60000;

void askWorkerToStop() {
    logLine("exit-stop");
    SetEvent(gStopWorker);
    Sleep(kWorkerStopMs);  // a worker's end request arrives while shutdown runs
}

// Its one DLL command: a call that stays inside its library for a while.
const char* const kDllLibraries[] = {"dll_probe_lib.dll"};
const char* const kDllEntries[] = {"probeSleep"};
constexpr uint32_t kDllProbeSleep = 0;

DWORD WINAPI stopsWhenAsked(void*) {
    WaitForSingleObject(gStopWorker, INFINITE);
    // Still inside the library when the handlers are done: unloading it now
    // would crash this thread on its way back.
    rt::callDll<int32_t, rt::Stdcall>(kDllProbeSleep, kWorkerStopMs * 2);
    logLine("worker-done");
    return 0;
}

DWORD WINAPI neverStops(void*) {
    Sleep(kNeverStops);
    return 0;
}

DWORD WINAPI endsWhenAsked(void*) {
    WaitForSingleObject(gStopWorker, INFINITE);
    rt::serviceTable().endProgram(5);
    logLine("worker-returned");
    return 0;
}

// Logs at the C runtime's exit, after WinMain returned: the process ended
// the normal way.
struct ExitWitness {
    ~ExitWitness() {
        if (!gLogPath.empty()) logLine("crt-exit");
    }
} gExitWitness;

void startTrackedWorker(LPTHREAD_START_ROUTINE routine) {
    rt::serviceTable().auxiliary(rt::kAuxRegisterExitHandler, reinterpret_cast<uint32_t>(&askWorkerToStop), 0, 0,
                                 0);
    DWORD id = 0;
    CloseHandle(rt::startWorker(&CreateThread, routine, nullptr, &id));
}

DWORD WINAPI endFromWorker(void*) {
    Sleep(100);
    rt::serviceTable().endProgram(5);
    logLine("worker-returned");
    return 0;
}

}  // namespace

extern "C" const rt::ProgramHeader rtProgramHeader = {
    .runMode = rt::kProgramRunMode,
    .secondMode = rt::kProgramSecondMode,
    .buildValue = rt::kProgramBuildValue,
    .libraryCount = 2,
    .libraries = kLibraries,
    .dllCommandCount = 1,
    .dllLibraryNames = kDllLibraries,
    .dllEntryNames = kDllEntries,
};

extern "C" int rtStartRoutine() {
    std::vector<std::string> args = testing_support::commandLineArguments();
    std::string scenario = args.size() > 1 ? args[1] : "plain";
    gLogPath = args.size() > 2 ? args[2] : "probe.log";

    rt::installWindowSystem(&gWindows);
    rt::RuntimeApp& app = rt::RuntimeApp::instance();
    rt::serviceTable().auxiliary(rt::kAuxRuntimeInit, 0, 0, 0, 0);
    rt::serviceTable().auxiliary(rt::kAuxRegisterExitHandler, reinterpret_cast<uint32_t>(&handlerA), 0, 0, 0);
    rt::serviceTable().auxiliary(rt::kAuxRegisterExitHandler, reinterpret_cast<uint32_t>(&handlerB), 0, 0, 0);
    rt::serviceTable().auxiliary(rt::kAuxRegisterExitHandler, reinterpret_cast<uint32_t>(&handlerA), 0, 0, 0);

    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    logLine(std::string("cwd=") + cwd);
    logLine("programdir=" + app.programDirectory());
    logLine("acp=" + std::to_string(GetACP()));

    if (scenario == "end") {
        rt::serviceTable().endProgram(7);
    } else if (scenario == "error") {
        rt::serviceTable().reportError(1, 0, 0);
    } else if (scenario == "error-message") {
        rt::requestService(rt::kSvcRuntimeError, reinterpret_cast<int32_t>("库命令放弃了"), 0);
    } else if (scenario.rfind("not-number-", 0) == 0) {
        convertNonNumber(scenario);
    } else if (scenario == "modal") {
        runModalLoopUntilItsWindowCloses();
    } else if (scenario == "lastwindow") {
        openProbeWindow(200);
    } else if (scenario == "closed-early") {
        // Every window gone before the loop starts must post no quit: a quit
        // posted now would end the loop of the window opened next before its
        // timer closes it.
        openProbeWindow(0);
        DestroyWindow(gWindows.window);
        openProbeWindow(kLateWindowCloseMs);
    } else if (scenario == "worker") {
        openProbeWindow(0);
        CloseHandle(CreateThread(nullptr, 0, endFromWorker, nullptr, 0, nullptr));
    } else if (scenario == "worker-joined") {
        startTrackedWorker(&stopsWhenAsked);
    } else if (scenario == "worker-stuck") {
        startTrackedWorker(&neverStops);
    } else if (scenario == "worker-ends-in-shutdown") {
        startTrackedWorker(&endsWhenAsked);
    }
    rt::serviceTable().runStartWindowLoop();
    logLine("loop-returned");
    return 0;
}
