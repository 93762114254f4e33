// A program on the runtime that loads this program's window from its
// template and does what its command line asks:
//   ui_probe SCENARIO LOGFILE [milliseconds]
// show       the window with no handler bound, closed after the given time
// events     logging handlers on the window's events
// badtemplate  a template cut short: start-up must fail
// notloaded  reads a class property of the window before loading it
// worker     a worker thread makes the requests the update flow makes
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/probe_support.h"
#include "runtime/libraries.h"
#include "runtime/runtime_app.h"
#include "runtime/service_request.h"
#include "runtime/thread_call.h"
#include "runtime/worker_threads.h"
#include "ui/program_window.h"
#include "ui/window_requests.h"
#include "ui/window_runtime.h"

namespace {

const std::vector<std::string> gArgs = testing_support::commandLineArguments();
std::string scenario() { return gArgs.size() > 1 ? gArgs[1] : "show"; }

void logLine(const std::string& line) {
    if (gArgs.size() < 3) return;
    if (FILE* f = std::fopen(gArgs[2].c_str(), "ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

ui::EventHandler gHandlers[ui::kProgramHandlerSlotCount] = {};

const rt::LibraryInfo* const kLibraries[] = {&rt::kCoreLibrary, &rt::kExtendedUiLibrary};

uint32_t templateSize() {
    uint32_t size = ui::programWindowTemplateSize();
    return scenario() == "badtemplate" ? size - 7 : size;
}

using namespace ui;

HWND windowHandle() { return unitWindowHandle(kProgressWindowId, 0); }

std::string gbk(uint64_t text) { return text ? reinterpret_cast<const char*>(static_cast<uintptr_t>(text)) : ""; }

HandlerResult logCreated(const uint32_t*, uint32_t) {
    logLine("event0 visible=" + std::to_string(IsWindowVisible(windowHandle()) ? 1 : 0) +
            " blocked=" + std::to_string(rt::RuntimeApp::instance().eventBlockCount.load()));
    logLine("caption=" + gbk(readUnitProperty(kProgressWindowId, kUnitInfoLabel, 8)));
    logLine("timer=" + std::to_string(readUnitProperty(kProgressWindowId, kUnitRefreshTimer, 8)));
    logLine("panelwidth=" + std::to_string(readUnitProperty(kProgressWindowId, kUnitProgressPanel, 2)));
    // Short timer, so the refresh handler runs a few times.
    writeUnitProperty(kProgressWindowId, kUnitRefreshTimer, 8, -1, 20);
    return HandlerResult::none();
}

int gTicks = 0;
HandlerResult logTimer(const uint32_t*, uint32_t) {
    logLine("timer-event");
    if (++gTicks == 3) {
        writeUnitProperty(kProgressWindowId, kUnitRefreshTimer, 8, -1, 0);
        destroyWindow(kProgressWindowId, false);
    }
    return HandlerResult::none();
}

HandlerResult logDestroyed(const uint32_t*, uint32_t) {
    logLine("event2");
    return HandlerResult::none();
}

// The update flow's requests from its download thread, in its order.
DWORD WINAPI workerRequests(void*) {
    writeUnitProperty(kProgressWindowId, kUnitRefreshTimer, 8, -1, 100);
    logLine("worker timer=" + std::to_string(readUnitProperty(kProgressWindowId, kUnitRefreshTimer, 8)));
    clearPanel(kProgressWindowId, kUnitProgressPanel);
    writeUnitProperty(kProgressWindowId, kUnitProgressPanel, 12, -1, 1);
    writeUnitProperty(kProgressWindowId, kUnitProgressPanel, 19, -1, 0x00FF00);
    fillPanelRect(kProgressWindowId, kUnitProgressPanel, 0, 20, 290, 0);
    writePanelText(kProgressWindowId, kUnitProgressPanel, 95, 4, {"100%", "  ", "速度：0KB/S"});
    const char* caption = "总大小：1MB  下载完毕，请稍后...";
    writeUnitProperty(kProgressWindowId, kUnitInfoLabel, 8, -1, reinterpret_cast<uint32_t>(caption));
    logLine("worker caption=" + gbk(readUnitProperty(kProgressWindowId, kUnitInfoLabel, 8)));
    writeUnitProperty(kProgressWindowId, kUnitRefreshTimer, 8, -1, 0);
    rt::messageBoxOwnedBy(windowHandle(), "不能打开该URL", "提示信息", 16);
    logLine("worker box closed");
    destroyWindow(kProgressWindowId, false);
    logLine("worker done");
    return 0;
}

HandlerResult startWorker(const uint32_t*, uint32_t) {
    CloseHandle(CreateThread(nullptr, 0, &workerRequests, nullptr, 0, nullptr));
    return HandlerResult::none();
}

// A worker whose window went while it worked: its requests find the window
// gone and run nowhere, without a runtime error.
HANDLE gWindowGone = CreateEventA(nullptr, TRUE, FALSE, nullptr);

DWORD WINAPI requestsAfterClose(void*) {
    WaitForSingleObject(gWindowGone, INFINITE);
    const char* caption = "late";
    writeUnitProperty(kProgressWindowId, kUnitInfoLabel, 8, -1, reinterpret_cast<uint32_t>(caption));
    uint64_t interval = readUnitProperty(kProgressWindowId, kUnitRefreshTimer, 8);
    fillPanelRect(kProgressWindowId, kUnitProgressPanel, 0, 20, 290, 0);
    destroyWindow(kProgressWindowId, false);
    logLine("late requests timer=" + std::to_string(interval));
    return 0;
}

HandlerResult startLateWorker(const uint32_t*, uint32_t) {
    DWORD id = 0;
    CloseHandle(rt::startWorker(&CreateThread, &requestsAfterClose, nullptr, &id));
    return HandlerResult::none();
}

HandlerResult releaseLateWorker(const uint32_t*, uint32_t) {
    SetEvent(gWindowGone);
    return HandlerResult::none();
}

void CALLBACK closeAfterTime(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    destroyWindow(kProgressWindowId, true);
}

}  // namespace

extern "C" const rt::ProgramHeader rtProgramHeader = {
    .runMode = rt::kProgramRunMode,
    .secondMode = rt::kProgramSecondMode,
    .buildValue = rt::kProgramBuildValue,
    .codeBase = gHandlers,
    .windowTemplate = ui::programWindowTemplate(),
    .windowTemplateSize = templateSize(),
    .libraryCount = 2,
    .libraries = kLibraries,
};

extern "C" int rtStartRoutine() {
    std::string what = scenario();
    if (what == "events") {
        gHandlers[kSlotStartUpdate] = &logCreated;
        gHandlers[kSlotRefreshProgress] = &logTimer;
        gHandlers[kSlotWindowDestroyed] = &logDestroyed;
    } else if (what == "worker") {
        gHandlers[kSlotStartUpdate] = &startWorker;
    } else if (what == "late-worker") {
        gHandlers[kSlotStartUpdate] = &startLateWorker;
        gHandlers[kSlotWindowDestroyed] = &releaseLateWorker;
    }
    ui::installWindowRuntime();
    rt::serviceTable().auxiliary(rt::kAuxRuntimeInit, 0, 0, 0, 0);
    logLine("started");
    if (what == "notloaded") readUnitProperty(kProgressWindowId, kUnitInfoLabel, 8);

    uint32_t load[3] = {kProgressWindowId, 0, 0};
    int32_t loaded = rt::requestService(rt::kSvcLoadWindow, static_cast<int32_t>(reinterpret_cast<uintptr_t>(load)), 0);
    logLine("loaded=" + std::to_string(loaded));
    if (what == "show") SetTimer(nullptr, 0, gArgs.size() > 3 ? std::stoul(gArgs[3]) : 3000, &closeAfterTime);
    if (what == "late-worker") SetTimer(nullptr, 0, 500, &closeAfterTime);
    rt::serviceTable().runStartWindowLoop();
    logLine("loop-returned");
    return 0;
}
