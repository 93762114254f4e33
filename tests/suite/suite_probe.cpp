// A program on the runtime whose library list holds the server suite at
// index 5, as the application's does:
//   suite_probe SCENARIO LOGFILE [TEMPDIR]
// It logs how the module was bound after start-up and a key-value table
// round trip. Scenarios: "plain" ends normally, "timed" also logs the time
// the module's loading takes, "crash" ends the process
// abruptly after start-up (as a crash would), "handover" first sets this
// process's hand-over variables to functions of its own.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/probe_support.h"
#include "runtime/heap.h"
#include "runtime/libraries.h"
#include "runtime/runtime_app.h"
#include "suite/forward_table.h"
#include "suite/jmap.h"
#include "suite/module_image.h"
#include "suite/suite_library.h"
#include "suite/suite_module.h"

namespace {

std::string gLogPath;

void logLine(const std::string& line) {
    if (FILE* f = std::fopen(gLogPath.c_str(), "ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

const rt::LibraryInfo kThreadsStandIn = rt::describeLibrary("00000000000000000000000000000003", "多线程库", 2, 0, 3);
const rt::LibraryInfo* const kLibraries[] = {&rt::kCoreLibrary,          &rt::kExtendedUiLibrary,
                                             &kThreadsStandIn,           &rt::kSpecialFunctionsLibrary,
                                             &suite::kSuiteLibrary,      &rt::kDataOperationsLibrary};

// What an earlier load in this process would have handed over.
void handedOverCommand(rt::DataCell*, int32_t, rt::DataCell*) {}
rt::Command gHandedOverCommands[suite::kSuiteCommandCount];
rt::LibraryInfo gHandedOverInfo;
int32_t __stdcall handedOverNotify(int32_t, int32_t, int32_t) { return 0; }
const rt::LibraryInfo* __stdcall handedOverLibInfo() { return &gHandedOverInfo; }

void setHandOverVariables() {
    for (rt::Command& command : gHandedOverCommands) command = &handedOverCommand;
    gHandedOverInfo.commands = gHandedOverCommands;
    char name[32], value[32];
    std::snprintf(name, sizeof name, "sk_pnl_%d", static_cast<int>(GetCurrentProcessId()));
    std::snprintf(value, sizeof value, "%u", static_cast<unsigned>(reinterpret_cast<uintptr_t>(&handedOverNotify)));
    SetEnvironmentVariableA(name, value);
    std::snprintf(name, sizeof name, "sk_gli_%d", static_cast<int>(GetCurrentProcessId()));
    std::snprintf(value, sizeof value, "%u", static_cast<unsigned>(reinterpret_cast<uintptr_t>(&handedOverLibInfo)));
    SetEnvironmentVariableA(name, value);
}

void exitHandler() { logLine("exit-handler"); }

}  // namespace

extern "C" const rt::ProgramHeader rtProgramHeader = {
    .runMode = rt::kProgramRunMode,
    .secondMode = rt::kProgramSecondMode,
    .buildValue = rt::kProgramBuildValue,
    .libraryCount = 6,
    .libraries = kLibraries,
};

extern "C" int rtStartRoutine() {
    std::vector<std::string> args = testing_support::commandLineArguments();
    if (args.size() < 3) return 2;
    std::string scenario = args[1];
    gLogPath = args[2];
    if (args.size() > 3) {
        SetEnvironmentVariableA("TMP", args[3].c_str());
        SetEnvironmentVariableA("TEMP", args[3].c_str());
    }
    if (scenario == "handover") setHandOverVariables();

    rt::RuntimeApp& app = rt::RuntimeApp::instance();
    app.addExitHandler(&exitHandler);
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    if (scenario == "timed") {
        // The module's loading alone, ahead of the runtime's start notification.
        QueryPerformanceCounter(&before);
        suite::loadSuiteModule();
        QueryPerformanceCounter(&after);
        logLine("load-us=" + std::to_string((after.QuadPart - before.QuadPart) * 1000000 / frequency.QuadPart));
        QueryPerformanceCounter(&before);
        bool carried = suite::embeddedModuleImage().has_value();
        QueryPerformanceCounter(&after);
        logLine("decode-us=" + std::to_string(carried ? (after.QuadPart - before.QuadPart) * 1000000 / frequency.QuadPart : -1));
    }
    QueryPerformanceCounter(&before);
    app.runtimeInit();
    QueryPerformanceCounter(&after);

    const suite::SuiteModule& module = suite::suiteModule();
    logLine("bound=" + std::to_string(suite::suiteForwardTable().bound));
    logLine("loaded=" + std::to_string(module.loaded()));
    logLine("kind=" + std::to_string(static_cast<int>(module.kind())));
    logLine("path=" + module.path());
    logLine("handover=" + std::to_string(suite::suiteForwardTable().getLibInfo == &handedOverLibInfo));
    logLine("init-us=" + std::to_string((after.QuadPart - before.QuadPart) * 1000000 / frequency.QuadPart));
    {
        suite::JMap table;
        table.fromJson("{\"k\":\"v\"}");
        char* value = table.getString("k");
        logLine(std::string("jmap=") + (value ? value : ""));
        rt::rtFree(value);
    }
    if (scenario == "crash") {
        logLine("crash");
        TerminateProcess(GetCurrentProcess(), 3);
    }
    return 0;
}
