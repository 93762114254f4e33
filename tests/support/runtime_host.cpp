// For GoogleTest programs that call into the runtime directly: the runtime
// object and an empty program header (no libraries, no template).
#include "runtime/library_info.h"
#include "runtime/runtime_app.h"

extern "C" const rt::ProgramHeader rtProgramHeader = {
    .runMode = rt::kProgramRunMode,
    .secondMode = rt::kProgramSecondMode,
    .buildValue = rt::kProgramBuildValue,
};
extern "C" int rtStartRoutine() { return 0; }

namespace {
rt::RuntimeApp gHostRuntime;
}
