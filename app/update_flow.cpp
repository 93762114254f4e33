#include "app/update_flow.h"

#include <windows.h>

#include <cstring>
#include <functional>

#include "app/app_text.h"
#include "app/constants.h"
#include "app/globals.h"
#include "app/progress_window.h"
#include "runtime/commands/commands.h"
#include "runtime/heap.h"
#include "runtime/runtime_app.h"
#include "runtime/service_request.h"
#include "runtime/thread_call.h"
#include "suite/jmap.h"
#include "ui/program_window.h"
#include "ui/window_requests.h"
#include "web/http_request.h"
#include "web/text_codecs.h"

namespace app {

namespace cmd = rt::cmd;
using cmd::Arg;
using cmd::OwnedBytes;
using cmd::OwnedText;

namespace {

constexpr int32_t kPropInterval = 8;
constexpr int32_t kErrorIconOk = 16;
constexpr int32_t kNormalWindow = 2;

Arg progressWindow() { return Arg::unit(ui::kProgressWindowId, 0, rt::kTypeWindow); }

void setRefreshInterval(uint32_t milliseconds) {
    rt::serviceTable().writeUnitProperty(ui::kProgressWindowId, ui::kUnitRefreshTimer, kPropInterval, -1,
                                         milliseconds, 0);
}

void closeWindow() { cmd::destroyWindow(progressWindow()); }

void showFailure(const char* message) { cmd::messageBox(message, kErrorIconOk, kMessageTitle, progressWindow()); }

// The updater's command line, unquoted, exactly as the install directory
// and the name make it.
void launchUpdater() {
    char* commandLine = joinTexts({globals().installDir, kLaunchSuffix});
    cmd::runProgram(commandLine, false, kNormalWindow);
    rt::rtFree(commandLine);
}

bool sameTextIgnoringCase(const char* a, const char* b) {
    return a && b && lstrcmpiA(a, b) == 0;
}

// The staged download becomes the updater only when its digest is the one
// the version file announced; one move replaces the old file, so the user
// never has a half-written updater. Returns the failure message, or null.
const char* verifyAndReplace() {
    AppGlobals& g = globals();
    OwnedBytes staged = cmd::readFile(g.stagingPath);
    OwnedText digest = cmd::md5Hex(staged.get());
    if (!sameTextIgnoringCase(digest.get(), g.expectedDigest)) return kVerifyFailed;
    if (!MoveFileExA(g.stagingPath, g.targetPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return kLocalFileFailed;
    return nullptr;
}

// A request on the window from the worker: it runs on the window's thread
// while the window exists, and not at all once the user closed it.
bool onWindow(HWND window, const std::function<void()>& request) {
    return rt::runOnThreadOf(window, request) == rt::ThreadCallResult::ran;
}

// What follows a download: the verified replacement, the feedback and the
// launch. None of it happens once the window is gone (the program is ending).
void finishDownload(HWND window, int32_t result, const char* downloadMessage) {
    AppGlobals& g = globals();
    const char* failure = result < 0 ? downloadMessage : nullptr;
    bool replaced = false;
    EnterCriticalSection(&g.commitLock);
    const bool closing = g.closing;
    if (!closing && result == 0) {
        failure = verifyAndReplace();
        replaced = failure == nullptr;
    }
    LeaveCriticalSection(&g.commitLock);
    if (!replaced) DeleteFileA(g.stagingPath);
    if (closing) return;

    if (replaced) onWindow(window, [] { showCompleted(); });
    else if (failure) onWindow(window, [failure] { showFailure(failure); });

    EnterCriticalSection(&g.commitLock);
    if (!g.closing) launchUpdater();
    LeaveCriticalSection(&g.commitLock);
}

void markClosing() {
    AppGlobals& g = globals();
    EnterCriticalSection(&g.commitLock);
    g.closing = true;
    LeaveCriticalSection(&g.commitLock);
}

}  // namespace

ui::HandlerResult startUpdate(const uint32_t*, uint32_t) {
    AppGlobals& g = globals();
    suite::JMap versionInfo;
    g.installDir = const_cast<char*>(kInstallDir);

    char* versionUrl = joinTexts({kUpdateBaseUrl, kVersionFilePath});
    OwnedBytes body(web::httpRequest(&versionUrl));
    rt::rtFree(versionUrl);
    // Closed while the version request ran: the window closes once this
    // handler has returned, and nothing is started or replaced.
    if (rt::RuntimeApp::instance().closePending()) return ui::HandlerResult::none();
    OwnedText bodyText(web::utf8ToLocalText(body.get()));
    versionInfo.fromJson(bodyText.get());

    char* localPath = joinTexts({g.installDir, kTargetSuffix});
    OwnedBytes localUpdater = cmd::readFile(localPath);
    OwnedText localDigest = cmd::md5Hex(localUpdater.get());
    OwnedText expectedDigest(versionInfo.getString(kDigestKey));
    char* relativePath = versionInfo.getString(kRelativePathKey);

    // Without a digest and a path there is nothing verifiable to fetch: the
    // updater at hand is started as it is.
    const bool haveVersionInfo = expectedDigest && relativePath;
    if (!haveVersionInfo || std::strcmp(localDigest.get(), expectedDigest.get()) == 0) {
        launchUpdater();
        closeWindow();
        rt::rtFree(localPath);
        rt::rtFree(relativePath);
        return ui::HandlerResult::none();
    }

    OwnedText encodedPath(web::urlEncode(&relativePath, 1, 1));
    rt::rtFree(relativePath);
    OwnedText url(joinTexts({kUpdateBaseUrl, kUpdaterDirPath, encodedPath.get()}));
    // Separators of the relative path stay separators; everything else stays encoded.
    g.downloadUrl = cmd::replaceText(url.get(), kEncodedSlash, kSlash, 1).release();
    g.targetPath = localPath;
    g.stagingPath = joinTexts({g.installDir, kStagingSuffix});
    g.expectedDigest = expectedDigest.release();

    g.workerActive = true;
    if (!cmd::startThread(downloadThread)) {
        // No download without its thread: the updater at hand is started and
        // the window closed, as after a failed download.
        g.workerActive = false;
        launchUpdater();
        closeWindow();
    }
    return ui::HandlerResult::none();
}

ui::HandlerResult windowDestroyed(const uint32_t*, uint32_t) {
    // Whoever closed the window, a download still running must not replace
    // or launch anything after it.
    markClosing();
    return ui::HandlerResult::none();
}

uint32_t __stdcall downloadThread(uint32_t) {
    AppGlobals& g = globals();
    const HWND window = ui::unitWindowHandle(ui::kProgressWindowId, 0);
    onWindow(window, [] { setRefreshInterval(100); });
    g.progress.downloadedBytes = 0;

    // A close before the transfer began: a stop now would be overwritten by
    // the download's start, so the download doesn't start.
    EnterCriticalSection(&g.commitLock);
    const bool closedAlready = g.closing;
    LeaveCriticalSection(&g.commitLock);
    if (closedAlready) {
        g.workerActive = false;
        return 0;
    }

    char* message = nullptr;
    const int32_t result = g.downloader->download(&g.downloadUrl, &g.stagingPath, &OnDownloadProgress,
                                                  web::Opt<int64_t>(g.progress.downloadedBytes.load()),
                                                  web::Opt<char**>(&message));
    // The refresh stops before anything else is drawn, so no late refresh
    // overwrites the completed state.
    onWindow(window, [] { setRefreshInterval(0); });
    finishDownload(window, result, message);
    rt::rtFree(message);

    onWindow(window, closeWindow);
    g.workerActive = false;
    return 0;
}

intptr_t __stdcall OnDownloadProgress(const char* totalSize, const char* downloaded, uint32_t elapsedMs,
                                      const char* receivedNow) {
    DownloadProgress& progress = globals().progress;
    OwnedText total = cmd::textAtAddress(totalSize);
    OwnedText done = cmd::textAtAddress(downloaded);
    OwnedText received = cmd::textAtAddress(receivedNow);
    progress.totalBytes = cmd::toInt64(total.get());
    progress.downloadedBytes = cmd::toInt64(done.get());
    progress.elapsedMs = static_cast<int32_t>(elapsedMs);
    progress.receivedBytes = cmd::toInt64(received.get());
    return 0;
}

}  // namespace app
