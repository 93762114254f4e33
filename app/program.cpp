// The program header and the start routine of the updater application.
#include "runtime/libraries.h"
#include "runtime/service_request.h"

namespace {
const rt::LibraryInfo* const kLibraries[] = {
    &rt::kCoreLibrary, &rt::kExtendedUiLibrary, &rt::kSpecialFunctionsLibrary, &rt::kDataOperationsLibrary};
}

extern "C" const rt::ProgramHeader rtProgramHeader = {
    3, 0, 125344, nullptr, nullptr, 0, nullptr, 0, sizeof kLibraries / sizeof kLibraries[0], kLibraries,
    0, nullptr, nullptr};

extern "C" int rtStartRoutine() {
    rt::serviceTable().auxiliary(rt::kAuxRuntimeInit, 0, 0, 0, 0);
    rt::serviceTable().runStartWindowLoop();
    return 0;
}
