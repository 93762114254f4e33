// The program header of test programs that call the web and COM layers: no
// libraries, no template, the program's DLL command table; the start
// routine does nothing.
#include "runtime/dll_commands.h"
#include "runtime/library_info.h"

extern "C" const rt::ProgramHeader rtProgramHeader = {
    .runMode = rt::kProgramRunMode,
    .secondMode = rt::kProgramSecondMode,
    .buildValue = rt::kProgramBuildValue,
    .dllCommandCount = rt::kDllCommandCount,
    .dllLibraryNames = rt::kDllLibraryNames,
    .dllEntryNames = rt::kDllEntryNames,
};
extern "C" int rtStartRoutine() { return 0; }
