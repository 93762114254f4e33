// A program on the runtime for the cases that end the process:
//   commands_probe SCENARIO LOGFILE
// Its own DLL command table points at the test library and at system
// functions; results are logged so the tests can check them from outside.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/dll_commands.h"
#include "runtime/libraries.h"
#include "runtime/runtime_app.h"
#include "runtime/service_request.h"
#include "tests/commands/commands_probe_scenarios.h"
#include "tests/support/probe_support.h"

namespace {

std::string gLogPath;

enum ProbeDll : uint32_t {
    kProbeAdd2, kProbeSum3, kProbeOrdinal12, kProbeOrdinal13, kProbeCallWindowProc,
    kProbeNoSuchEntry, kProbeNoSuchLibrary, kProbeSprintf, kProbeLstrlenA, kProbeDllCount
};
const char* const kProbeLibraries[kProbeDllCount] = {
    "dll_probe_lib.dll", "dll_probe_lib.dll", "dll_probe_lib.dll", "dll_probe_lib.dll", "",
    "",                  "no_such_library.dll", "ntdll.dll",       "kernel32.dll"};
const char* const kProbeEntries[kProbeDllCount] = {
    "probeAdd2", "probeSum3",           "#12",     "#13",     "CallWindowProcA",
    "NoSuchEntryAnywhere", "NoSuchEntry", "sprintf", "lstrlenA"};

const rt::LibraryInfo* const kLibraries[] = {&rt::kCoreLibrary};

LRESULT CALLBACK echoProc(HWND, UINT message, WPARAM, LPARAM) { return static_cast<LRESULT>(message) + 1; }

void dllCalls() {
    using rt::callDll;
    probeLog("add2=" + std::to_string(callDll<int, rt::Stdcall>(kProbeAdd2, 2, 3)));
    probeLog("sum3=" + std::to_string(callDll<int, rt::Cdecl>(kProbeSum3, 1, 2, 3)));
    probeLog("ordinal12=" + std::to_string(callDll<int, rt::Stdcall>(kProbeOrdinal12)));
    char buffer[64] = {};
    int written = callDll<int, rt::Cdecl>(kProbeSprintf, buffer, "%d-%s-%d", 7, "x", -2);
    probeLog("sprintf=" + std::to_string(written) + ":" + buffer);
    LRESULT echoed = callDll<LRESULT, rt::Stdcall>(kProbeCallWindowProc, &echoProc, HWND(nullptr), 41u, 0u, 0);
    probeLog("callwindowproc=" + std::to_string(echoed));
    probeLog(std::string("user32-bound=") +
             (rt::dllModuleOf(kProbeCallWindowProc) == GetModuleHandleA("user32.dll") ? "1" : "0"));
}

}  // namespace

void probeLog(const std::string& line) {
    if (FILE* f = std::fopen(gLogPath.c_str(), "ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

extern "C" const rt::ProgramHeader rtProgramHeader = {
    .runMode = rt::kProgramRunMode,
    .secondMode = rt::kProgramSecondMode,
    .buildValue = rt::kProgramBuildValue,
    .libraryCount = 1,
    .libraries = kLibraries,
    .dllCommandCount = kProbeDllCount,
    .dllLibraryNames = kProbeLibraries,
    .dllEntryNames = kProbeEntries,
};

extern "C" int rtStartRoutine() {
    std::vector<std::string> args = testing_support::commandLineArguments();
    std::string scenario = args.size() > 1 ? args[1] : "";
    gLogPath = args.size() > 2 ? args[2] : "commands_probe.log";
    rt::serviceTable().auxiliary(rt::kAuxRuntimeInit, 0, 0, 0, 0);

    if (scenario == "dll-calls") {
        dllCalls();
    } else if (scenario == "dll-stack-extra") {
        // lstrlenA takes one argument; the second stays on the stack.
        int n = rt::callDll<int, rt::Stdcall>(kProbeLstrlenA, "abc", 0);
        probeLog("returned " + std::to_string(n));
    } else if (scenario == "dll-stack-missing") {
        int n = rt::callDll<int, rt::Stdcall>(kProbeAdd2, 1);
        probeLog("returned " + std::to_string(n));
    } else if (scenario == "dll-missing-ordinal") {
        rt::callDll<int, rt::Stdcall>(kProbeOrdinal13);
    } else if (scenario == "dll-missing-default") {
        rt::callDll<int, rt::Stdcall>(kProbeNoSuchEntry);
    } else if (scenario == "dll-missing-library") {
        rt::callDll<int, rt::Stdcall>(kProbeNoSuchLibrary);
    } else {
        runCommandScenario(scenario);
    }
    probeLog("end");
    rt::serviceTable().runStartWindowLoop();
    return 0;
}
