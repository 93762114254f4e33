// The program header and the entry routine of the updater application.
#include <new>

#include "app/constants.h"
#include "app/globals.h"
#include "app/progress_window.h"
#include "app/update_flow.h"
#include "runtime/commands/commands.h"
#include "runtime/com/com_value.h"
#include "runtime/dll_commands.h"
#include "runtime/heap.h"
#include "runtime/libraries.h"
#include "runtime/service_request.h"
#include "suite/suite_library.h"
#include "threads/thread_library.h"
#include "ui/program_window.h"
#include "ui/window_runtime.h"

namespace {

const rt::LibraryInfo* const kLibraries[] = {
    &rt::kCoreLibrary,     &rt::kExtendedUiLibrary, &threads::kThreadLibrary,
    &rt::kSpecialFunctionsLibrary, &suite::kSuiteLibrary, &rt::kDataOperationsLibrary,
};

// The code base of the header: the template binds its events to these slots.
const ui::EventHandler kHandlers[ui::kProgramHandlerSlotCount] = {
    &app::startUpdate,       // window created
    &app::windowDestroyed,   // window being destroyed
    &app::refreshProgress,   // timer interval elapsed
};

}  // namespace

extern "C" const rt::ProgramHeader rtProgramHeader = {
    .runMode = rt::kProgramRunMode,
    .secondMode = rt::kProgramSecondMode,
    .buildValue = rt::kProgramBuildValue,
    .codeBase = kHandlers,
    .constantSegment = app::constantSegmentStart(),
    .constantSegmentSize = app::constantSegmentSize(),
    .windowTemplate = ui::programWindowTemplate(),
    .windowTemplateSize = ui::programWindowTemplateSize(),
    .libraryCount = sizeof kLibraries / sizeof kLibraries[0],
    .libraries = kLibraries,
    .dllCommandCount = rt::kDllCommandCount,
    .dllLibraryNames = rt::kDllLibraryNames,
    .dllEntryNames = rt::kDllEntryNames,
};

extern "C" int rtStartRoutine() {
    ui::installWindowRuntime();
    rt::installComServices();
    rt::serviceTable().auxiliary(rt::kAuxRuntimeInit, 0, 0, 0, 0);

    app::AppGlobals& g = app::globals();
    g.downloader = new (rt::rtAlloc(sizeof(web::HttpDownloader))) web::HttpDownloader;
    rt::serviceTable().auxiliary(rt::kAuxRegisterExitHandler, reinterpret_cast<uint32_t>(&app::releaseGlobals), 0,
                                 0, 0);

    rt::cmd::openWindow(rt::cmd::Arg::unit(ui::kProgressWindowId, 0, rt::kTypeWindow));
    rt::serviceTable().runStartWindowLoop();
    return 0;
}
