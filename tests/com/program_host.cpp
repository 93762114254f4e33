// For GoogleTest programs of the web and COM layers: the runtime object, a
// program header carrying the program's DLL command table, and start-up
// (OLE, DLL tables) before the first test.
#include <gtest/gtest.h>

#include "runtime/dll_commands.h"
#include "runtime/library_info.h"
#include "runtime/runtime_app.h"

extern "C" const rt::ProgramHeader rtProgramHeader = {
    .runMode = rt::kProgramRunMode,
    .secondMode = rt::kProgramSecondMode,
    .buildValue = rt::kProgramBuildValue,
    .dllCommandCount = rt::kDllCommandCount,
    .dllLibraryNames = rt::kDllLibraryNames,
    .dllEntryNames = rt::kDllEntryNames,
};
extern "C" int rtStartRoutine() { return 0; }

namespace {

rt::RuntimeApp gHostRuntime;

class RuntimeStart : public ::testing::Environment {
public:
    void SetUp() override { rt::RuntimeApp::instance().runtimeInit(); }
};

const auto* const kRuntimeStart = ::testing::AddGlobalTestEnvironment(new RuntimeStart);

}  // namespace
