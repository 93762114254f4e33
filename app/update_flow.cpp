#include "app/update_flow.h"

#include <windows.h>

#include <cstring>
#include <functional>

#include "app/app_text.h"
#include "app/constants.h"
#include "app/globals.h"
#include "app/progress_window.h"
#include "app/staging.h"
#include "app/update_signature.h"
#include "runtime/commands/commands.h"
#include "runtime/heap.h"
#include "runtime/runtime_app.h"
#include "runtime/service_request.h"
#include "runtime/thread_call.h"
#include "suite/jmap.h"
#include "ui/controls/timer.h"
#include "ui/program_window.h"
#include "ui/properties.h"
#include "ui/window_requests.h"
#include "web/http_request.h"
#include "web/text_codecs.h"

namespace app {

namespace cmd = rt::cmd;
using cmd::Arg;
using cmd::OwnedBytes;
using cmd::OwnedText;

namespace {

constexpr int32_t kPropInterval = ui::unitProperty(ui::Timer::kInterval);
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
    OwnedText commandLine = joinTexts({globals().installDir, kLaunchSuffix});
    cmd::runProgram(commandLine.get(), false, kNormalWindow);
}

bool sameTextIgnoringCase(const char* a, const char* b) {
    return a && b && lstrcmpiA(a, b) == 0;
}

enum class Check { passed, digestMismatch, signatureRejected, notMoved };

// With an update key built in, the file must also be signed by it.
bool signedAsRequired(const uint8_t* staged) {
    if (!kUpdatePublicKey) return true;
    const uint8_t* data = staged ? rt::byteSetData(staged) : nullptr;
    const size_t size = staged ? rt::byteSetLength(staged) : 0;
    return signatureVerifies(data, size, globals().expectedSignature, kUpdatePublicKey);
}

// The staged download becomes the updater only when its digest is the one
// the version file announced (and its signature verifies); one move
// replaces the old file, so the user never has a half-written updater.
Check verifyAndReplace() {
    AppGlobals& g = globals();
    OwnedBytes staged = cmd::readFile(g.stagingPath);
    OwnedText digest = cmd::md5Hex(staged.get());
    if (!sameTextIgnoringCase(digest.get(), g.expectedDigest)) return Check::digestMismatch;
    if (!signedAsRequired(staged.get())) return Check::signatureRejected;
    if (!MoveFileExA(g.stagingPath, g.targetPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Check::notMoved;
    return Check::passed;
}

// A request on the window from the worker: it runs on the window's thread
// while the window exists, and not at all once the user closed it.
bool onWindow(HWND window, const std::function<void()>& request) {
    return rt::runOnThreadOf(window, request) == rt::ThreadCallResult::ran;
}

void markClosing() {
    AppGlobals& g = globals();
    EnterCriticalSection(&g.commitLock);
    g.closing = true;
    LeaveCriticalSection(&g.commitLock);
}

// Whether the program is closing. A close under way counts already: the
// window may take long to go (a handler of it still running, a window
// system slow to withdraw it), and a download may end meanwhile.
bool closingNow() {
    AppGlobals& g = globals();
    if (rt::RuntimeApp::instance().closePending()) markClosing();
    EnterCriticalSection(&g.commitLock);
    const bool closing = g.closing;
    LeaveCriticalSection(&g.commitLock);
    return closing;
}

// What a download came to, judged under the commit lock: the staged file
// verified and moved into place, unless the program is closing.
struct Verdict {
    bool closing = false;
    bool replaced = false;
    bool digestMismatch = false;  // the staged bytes aren't the announced file
    const char* failure = nullptr;  // the box's text, if any
};

Verdict judge(int32_t result, const char* downloadMessage) {
    AppGlobals& g = globals();
    Verdict verdict;
    verdict.failure = result < 0 ? downloadMessage : nullptr;
    EnterCriticalSection(&g.commitLock);
    verdict.closing = closingNow();
    if (verdict.closing) verdict.failure = nullptr;
    else if (result == 0) {
        const Check check = verifyAndReplace();
        verdict.replaced = check == Check::passed;
        verdict.digestMismatch = check == Check::digestMismatch;
        if (check == Check::digestMismatch || check == Check::signatureRejected) verdict.failure = kVerifyFailed;
        if (check == Check::notMoved) verdict.failure = kLocalFileFailed;
    }
    LeaveCriticalSection(&g.commitLock);
    // A file that failed its check is no start for a later run; any other
    // staged bytes (a stop, a cut, a stall) are kept for the next one.
    if (verdict.failure == kVerifyFailed) DeleteFileA(g.stagingPath);
    return verdict;
}

// One download into the staging file, continuing it from `offset`. After a
// close none starts: a stop would be overwritten by the download's start.
int32_t fetch(int64_t offset, char** message) {
    AppGlobals& g = globals();
    if (closingNow()) return web::kDownloadStopped;
    g.progress.totalBytes = 0;
    g.progress.receivedBytes = 0;
    g.progress.downloadedBytes = offset;
    return g.downloader->download(&g.downloadUrl, &g.stagingPath, &OnDownloadProgress, web::Opt<int64_t>(offset),
                                  web::Opt<char**>(message));
}

// The feedback and the launch. None of it happens once the window is gone
// (the program is ending).
void finishDownload(HWND window, const Verdict& verdict) {
    AppGlobals& g = globals();
    if (verdict.closing) return;
    if (verdict.replaced) onWindow(window, [] { showCompleted(); });
    else if (const char* failure = verdict.failure) onWindow(window, [failure] { showFailure(failure); });

    EnterCriticalSection(&g.commitLock);
    if (!closingNow()) launchUpdater();
    LeaveCriticalSection(&g.commitLock);
}

}  // namespace

ui::HandlerResult startUpdate(const uint32_t*, uint32_t) {
    AppGlobals& g = globals();
    suite::JMap versionInfo;
    g.installDir = const_cast<char*>(kInstallDir);

    OwnedText versionUrl = joinTexts({kUpdateBaseUrl, kVersionFilePath});
    char* versionUrlText = versionUrl.get();  // the request reads the variable only
    OwnedBytes body(web::httpRequest(&versionUrlText));
    // Closed while the version request ran: the window closes once this
    // handler has returned, and nothing is started or replaced.
    if (rt::RuntimeApp::instance().closePending()) return ui::HandlerResult::none();
    OwnedText bodyText(web::utf8ToLocalText(body.get()));
    versionInfo.fromJson(bodyText.get());

    OwnedText localPath = joinTexts({g.installDir, kTargetSuffix});
    OwnedBytes localUpdater = cmd::readFile(localPath.get());
    OwnedText localDigest = cmd::md5Hex(localUpdater.get());
    OwnedText expectedDigest(versionInfo.getString(kDigestKey));
    OwnedText relativePath(versionInfo.getString(kRelativePathKey));

    // Without a digest and a path there is nothing verifiable to fetch: the
    // updater at hand is started as it is.
    const bool haveVersionInfo = expectedDigest && relativePath;
    if (!haveVersionInfo || std::strcmp(localDigest.get(), expectedDigest.get()) == 0) {
        launchUpdater();
        closeWindow();
        return ui::HandlerResult::none();
    }

    char* relativePathText = relativePath.get();  // read only
    OwnedText encodedPath(web::urlEncode(&relativePathText, 1, 1));
    OwnedText url = joinTexts({kUpdateBaseUrl, kUpdaterDirPath, encodedPath.get()});
    // Separators of the relative path stay separators; everything else stays encoded.
    g.downloadUrl = cmd::replaceText(url.get(), kEncodedSlash, kSlash, 1).release();
    g.targetPath = localPath.release();
    g.stagingPath = stagingPathFor(g.installDir, expectedDigest.get());
    g.expectedDigest = expectedDigest.release();
    if (kUpdatePublicKey) g.expectedSignature = versionInfo.getString(kSignatureKey);

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

bool stopIfClosing() {
    if (!closingNow()) return false;
    if (AppGlobals& g = globals(); g.workerActive.load() && g.downloader) g.downloader->stop();
    return true;
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

    // A close before the transfer began: nothing to do.
    if (closingNow()) {
        g.workerActive = false;
        return 0;
    }

    // What an earlier run fetched of this version is continued; staging
    // files of other versions go.
    deleteOtherStagingFiles(g.installDir, g.expectedDigest);
    const int64_t offset = stagedLength(g.stagingPath);
    TextVariable message;  // the verdict's failure may point into it
    int32_t result = fetch(offset, &message.text);
    Verdict verdict = judge(result, message.text);
    // A continued file that fails its digest is fetched once more, whole
    // (a signature that doesn't verify would not verify the second time).
    if (offset > 0 && verdict.digestMismatch) {
        result = fetch(0, &message.text);
        verdict = judge(result, message.text);
    }
    // The refresh stops before anything else is drawn, so no late refresh
    // overwrites the completed state.
    onWindow(window, [] { setRefreshInterval(0); });
    finishDownload(window, verdict);

    onWindow(window, closeWindow);
    g.workerActive = false;
    return 0;
}

intptr_t __stdcall OnDownloadProgress(const char* totalSize, const char* downloaded, uint32_t elapsedMs,
                                      const char* receivedNow) {
    // Read in place: the texts stay valid for the call, and a copy of each
    // per chunk would cost more than the rest of the download's own work.
    DownloadProgress& progress = globals().progress;
    progress.totalBytes = cmd::toInt64(totalSize);
    progress.downloadedBytes = cmd::toInt64(downloaded);
    progress.elapsedMs = static_cast<int32_t>(elapsedMs);
    progress.receivedBytes = cmd::toInt64(receivedNow);
    return 0;
}

}  // namespace app
