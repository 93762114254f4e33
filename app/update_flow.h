// The update flow: the version check when the window is created, the
// download on a worker thread, and the launch of the updater.
#pragma once

#include <cstdint>

#include "ui/event_handler.h"

namespace app {

// The window's creation event.
ui::HandlerResult startUpdate(const uint32_t* args, uint32_t count);
// The window's being-destroyed event: from now on a download still running
// neither replaces nor launches anything.
ui::HandlerResult windowDestroyed(const uint32_t* args, uint32_t count);

// On the window's thread: when a close is under way, stops the download
// (nothing is then replaced or launched) and returns true.
bool stopIfClosing();

// The worker thread's routine.
uint32_t __stdcall downloadThread(uint32_t parameter);

// The download's progress callback (a four-argument stdcall): stores the
// four values in the progress record and touches nothing else.
intptr_t __stdcall OnDownloadProgress(const char* totalSize, const char* downloaded, uint32_t elapsedMs,
                                      const char* receivedNow);

}  // namespace app
