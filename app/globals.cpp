#include "app/globals.h"

#include <new>

#include "runtime/heap.h"

namespace app {

namespace {
void release(char*& text) {
    rt::rtFree(text);  // a constant-segment literal is left alone
    text = nullptr;
}
}  // namespace

AppGlobals& globals() {
    static AppGlobals* instance = [] {
        auto g = new AppGlobals;
        InitializeCriticalSection(&g->commitLock);
        return g;
    }();
    return *instance;
}

void releaseGlobals() {
    AppGlobals& g = globals();
    EnterCriticalSection(&g.commitLock);
    g.closing = true;
    LeaveCriticalSection(&g.commitLock);

    if (g.workerActive.load()) {
        // The window was closed while the download runs: the worker may still
        // read the URL, the paths and the downloader's running flag, so they
        // are left to the end of the process rather than freed under it.
        if (g.downloader) g.downloader->stop();
        return;
    }
    release(g.installDir);
    release(g.downloadUrl);
    release(g.targetPath);
    release(g.stagingPath);
    release(g.expectedDigest);
    release(g.expectedSignature);
    if (g.downloader) {
        g.downloader->ops->destroy(g.downloader);
        g.downloader->~HttpDownloader();
        rt::rtFree(g.downloader);
        g.downloader = nullptr;
    }
}

}  // namespace app
