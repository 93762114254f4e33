// DLL command binding: the module search watched through the system-call
// table in this process, and the fatal cases in the commands probe.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/dll_commands.h"
#include "runtime/runtime_app.h"
#include "runtime/service_request.h"
#include "tests/commands/probe_run.h"

using namespace testing_support;

namespace {

struct Recorder {
    std::vector<std::string> loads;
    std::vector<HMODULE> frees;
    std::vector<std::string> refuse;     // names whose load fails
    std::string redirectFrom, redirectTo;  // a drive-letter path served from elsewhere
};
Recorder* gRecorder = nullptr;

// Stands in for runtime-service entry 1: counts the calls, keeps the index
// the caller left in EAX, and jumps on to the real entry with the stack
// untouched.
extern "C" {
uint32_t gEntryCalls = 0;
uint32_t gEntryIndex = 0;
void* gRealEntry = nullptr;
void countingDllEntry();
}
asm(R"(
    .text
    .globl _countingDllEntry
_countingDllEntry:
    incl _gEntryCalls
    movl %eax, _gEntryIndex
    jmp *_gRealEntry
)");

HMODULE WINAPI recordLoad(LPCSTR name) {
    gRecorder->loads.push_back(name);
    for (const std::string& refused : gRecorder->refuse)
        if (refused == name) return nullptr;
    if (!gRecorder->redirectFrom.empty() && gRecorder->redirectFrom == name)
        return LoadLibraryA(gRecorder->redirectTo.c_str());
    return LoadLibraryA(name);
}
BOOL WINAPI recordFree(HMODULE module) {
    gRecorder->frees.push_back(module);
    return FreeLibrary(module);
}

class DllBinding : public ::testing::Test {
protected:
    void SetUp() override {
        static bool started = false;
        if (!started) {
            // Program and module directory as a real start-up leaves them.
            rt::RuntimeApp::instance().InitInstance();
            rt::RuntimeApp::instance().runtimeInit();
            started = true;
        }
        saved_ = rt::dllSystemCalls();
        gRecorder = &recorder_;
        rt::dllSystemCalls().loadLibrary = &recordLoad;
        rt::dllSystemCalls().freeLibrary = &recordFree;
    }
    void TearDown() override {
        rt::freeDllModules();
        rt::dllSystemCalls() = saved_;
        gRecorder = nullptr;
    }
    void prepare(std::vector<const char*> libraries, std::vector<const char*> entries) {
        rt::prepareDllTables(static_cast<uint32_t>(libraries.size()), libraries.data(), entries.data());
    }
    Recorder recorder_;
    rt::DllSystemCalls saved_{};
};

}  // namespace

TEST_F(DllBinding, EmptyLibraryNameSearchesTheDefaultLibrariesInOrder) {
    prepare({""}, {"CallWindowProcA"});
    void* address = rt::resolveDllCommand(0);
    EXPECT_EQ(address, reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "CallWindowProcA")));
    EXPECT_EQ(recorder_.loads, (std::vector<std::string>{"Kernel32.dll", "Gdi32.dll", "User32.dll"}));
    // Both libraries that didn't have it were freed again; user32 stays bound.
    ASSERT_EQ(recorder_.frees.size(), 2u);
    EXPECT_EQ(recorder_.frees[0], GetModuleHandleA("kernel32.dll"));
    EXPECT_EQ(recorder_.frees[1], GetModuleHandleA("gdi32.dll"));
    EXPECT_EQ(rt::dllModuleOf(0), GetModuleHandleA("user32.dll"));
}

TEST_F(DllBinding, SecondCallOfABoundIndexDoesNoSearch) {
    prepare({"kernel32.dll", "kernel32.dll"}, {"lstrlenA", "lstrlenA"});
    void* first = rt::resolveDllCommand(0);
    recorder_.loads.clear();
    EXPECT_EQ(rt::resolveDllCommand(0), first);
    EXPECT_TRUE(recorder_.loads.empty());
    // Each index binds on its own, even for the same export.
    EXPECT_EQ(rt::resolveDllCommand(1), first);
    EXPECT_FALSE(recorder_.loads.empty());
}

TEST_F(DllBinding, PlainFileNameTriesProgramDirectoryModuleDirectoryThenSystemSearch) {
    rt::RuntimeApp& app = rt::RuntimeApp::instance();
    std::string inProgramDir = app.programDirectory() + "\\wininet.dll";
    std::string inModuleDir = app.moduleDirectory() + "wininet.dll";
    ASSERT_FALSE(app.moduleDirectory().empty());
    recorder_.refuse = {inProgramDir, inModuleDir};
    prepare({"wininet.dll"}, {"InternetOpenA"});
    EXPECT_NE(rt::resolveDllCommand(0), nullptr);
    EXPECT_EQ(recorder_.loads, (std::vector<std::string>{inProgramDir, inModuleDir, "wininet.dll"}));
}

TEST_F(DllBinding, LibraryInTheProgramDirectoryIsFoundFirst) {
    std::string inProgramDir = rt::RuntimeApp::instance().programDirectory() + "\\dll_probe_lib.dll";
    prepare({"dll_probe_lib.dll"}, {"probeAdd2"});
    EXPECT_NE(rt::resolveDllCommand(0), nullptr);
    EXPECT_EQ(recorder_.loads, (std::vector<std::string>{inProgramDir}));
}

TEST_F(DllBinding, DriveLetterPathIsLoadedOnlyAsGiven) {
    recorder_.redirectFrom = "Q:\\elsewhere\\dll_probe_lib.dll";
    recorder_.redirectTo = rt::RuntimeApp::instance().programDirectory() + "\\dll_probe_lib.dll";
    prepare({"Q:\\elsewhere\\dll_probe_lib.dll"}, {"#12"});
    void* address = rt::resolveDllCommand(0);
    ASSERT_NE(address, nullptr);
    EXPECT_EQ(recorder_.loads, (std::vector<std::string>{"Q:\\elsewhere\\dll_probe_lib.dll"}));
    EXPECT_EQ(reinterpret_cast<int(__stdcall*)()>(address)(), 1212);  // the ordinal-only export
}

TEST_F(DllBinding, ShutdownFreesEveryBoundModuleOnce) {
    prepare({"dll_probe_lib.dll", "dll_probe_lib.dll", "kernel32.dll"}, {"probeAdd2", "probeSum3", "lstrlenA"});
    rt::resolveDllCommand(0);
    rt::resolveDllCommand(2);  // index 1 stays unbound
    HMODULE probeLib = rt::dllModuleOf(0);
    HMODULE kernel = rt::dllModuleOf(2);
    EXPECT_EQ(rt::dllModuleOf(1), nullptr);
    recorder_.frees.clear();
    rt::freeDllModules();
    EXPECT_EQ(recorder_.frees, (std::vector<HMODULE>{probeLib, kernel}));
    EXPECT_EQ(rt::dllModuleOf(0), nullptr);
    EXPECT_EQ(GetModuleHandleA("dll_probe_lib.dll"), nullptr);  // the last reference went
}

TEST_F(DllBinding, ProgramTableCallsThroughTheServiceEntry) {
    // The program's own table, with its conventions: a cdecl and stdcall call.
    rt::prepareDllTables(rt::kDllCommandCount, rt::kDllLibraryNames, rt::kDllEntryNames);
    EXPECT_EQ((rt::callDll<size_t, rt::Cdecl>(rt::kDllStrlen, "12345")), 5u);
    EXPECT_EQ((rt::callDll<int, rt::Stdcall>(rt::kDllLstrlenW, L"abc")), 3);
    char buffer[32] = {};
    EXPECT_EQ((rt::callDll<int, rt::Cdecl>(rt::kDllSprintf, buffer, "%I64d|%d", int64_t{1} << 40, 9)), 15);
    EXPECT_STREQ(buffer, "1099511627776|9");
}

// Entry 1 is how every DLL command call is made: the installed entry is
// called, with the command index in EAX.
TEST_F(DllBinding, CallsGoThroughServiceEntryOneWithTheIndexInEax) {
    rt::prepareDllTables(rt::kDllCommandCount, rt::kDllLibraryNames, rt::kDllEntryNames);
    gRealEntry = rt::serviceTable().callDllCommand;
    ASSERT_NE(gRealEntry, nullptr);
    gEntryCalls = 0;
    rt::serviceTable().callDllCommand = reinterpret_cast<void*>(&countingDllEntry);
    int length = rt::callDll<int, rt::Stdcall>(rt::kDllLstrlenW, L"abcd");
    rt::serviceTable().callDllCommand = gRealEntry;
    EXPECT_EQ(length, 4);
    EXPECT_EQ(gEntryCalls, 1u);
    EXPECT_EQ(gEntryIndex, uint32_t{rt::kDllLstrlenW});
}

// The fatal cases run in the probe: one message box, exit code -1.

TEST(DllBindingProbe, CallsByNameOrdinalAndDefaultLibrariesWork) {
    ProbeRun probe = runCommandsProbe("dll-calls");
    EXPECT_EQ(probe.run.exitCode, 0u);
    EXPECT_TRUE(probe.run.boxes.empty());
    EXPECT_TRUE(probe.logged("add2=5")) << probe.log;
    EXPECT_TRUE(probe.logged("sum3=6"));
    EXPECT_TRUE(probe.logged("ordinal12=1212"));
    EXPECT_TRUE(probe.logged("sprintf=6:7-x--2"));
    EXPECT_TRUE(probe.logged("callwindowproc=42"));
    EXPECT_TRUE(probe.logged("user32-bound=1"));
}

TEST(DllBindingProbe, StdcallWithWrongArgumentCountIsStackError6) {
    for (const char* scenario : {"dll-stack-extra", "dll-stack-missing"}) {
        ProbeRun probe = runCommandsProbe(scenario);
        EXPECT_EQ(probe.run.exitCode, 0xFFFFFFFFu) << scenario;
        ASSERT_EQ(probe.run.boxes.size(), 1u) << scenario;
        EXPECT_EQ(probe.run.boxes[0].caption, u8s(u8"错误"));
        EXPECT_EQ(probe.run.boxes[0].text, runtimeErrorText(u8s(u8"调用DLL命令后发现堆栈错误"), 6));
        EXPECT_FALSE(probe.logged("end")) << scenario;  // the callee's result is not used
        EXPECT_EQ(probe.log.find("returned"), std::string::npos);
    }
}

TEST(DllBindingProbe, EntryThatCannotBeFoundEndsWithItsMessage) {
    struct Case { const char* scenario; std::string message; };
    for (const Case& c : {Case{"dll-missing-ordinal", u8s(u8"无法找到指定DLL库文件“dll_probe_lib.dll”中的输出命令“#13”")},
                          Case{"dll-missing-default", u8s(u8"无法找到指定DLL库文件中的输出命令“NoSuchEntryAnywhere”")},
                          Case{"dll-missing-library", u8s(u8"无法找到指定DLL库文件“no_such_library.dll”中的输出命令“NoSuchEntry”")}}) {
        ProbeRun probe = runCommandsProbe(c.scenario);
        EXPECT_EQ(probe.run.exitCode, 0xFFFFFFFFu) << c.scenario;
        ASSERT_EQ(probe.run.boxes.size(), 1u) << c.scenario;
        EXPECT_EQ(probe.run.boxes[0].text, runtimeErrorText(c.message)) << c.scenario;
    }
}
