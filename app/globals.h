// The application's process-wide state: the paths and URL of this run, the
// downloader, and the progress record shared by the download thread (the
// only writer) and the refresh timer (the only reader).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "web/http_downloader.h"

namespace app {

// Each field is written and read whole; the fields need not agree with one
// another at any instant (the display tolerates a mix of two updates).
struct DownloadProgress {
    std::atomic<int64_t> totalBytes{0};
    std::atomic<int64_t> downloadedBytes{0};
    std::atomic<int32_t> elapsedMs{0};
    std::atomic<int64_t> receivedBytes{0};
};

struct AppGlobals {
    // Runtime texts; the install directory is the constant-segment literal.
    char* installDir = nullptr;
    char* downloadUrl = nullptr;
    char* targetPath = nullptr;
    // Beside the target: the download lands here and replaces the updater
    // only once its digest matched.
    char* stagingPath = nullptr;
    char* expectedDigest = nullptr;
    // The version file's "sig" (null when absent or when there is no key).
    char* expectedSignature = nullptr;
    web::HttpDownloader* downloader = nullptr;
    DownloadProgress progress;

    // The worker is inside its run (set before the thread starts).
    std::atomic<bool> workerActive{false};
    // Set when the window is destroyed or the program ends: a worker still
    // running then neither replaces the updater nor launches it. Guarded by
    // commitLock, so a replacement and launch under way completes first.
    bool closing = false;
    CRITICAL_SECTION commitLock;
};

AppGlobals& globals();

// Exit handler: releases the globals (see the note on a running worker).
void releaseGlobals();

}  // namespace app
