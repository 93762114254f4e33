// The resumable download over WinINet, reached through DLL commands.
#include "web/http_downloader.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "runtime/address_word.h"
#include "runtime/commands/commands.h"
#include "runtime/dll_commands.h"
#include "runtime/heap.h"
#include "web/blocking_calls.h"
#include "web/local_file.h"
#include "web/runtime_text.h"

namespace web {

using rt::callDll;
using rt::Stdcall;
using rt::wordOf;

namespace {

constexpr uint32_t kChunkSize = 10240;
constexpr uint32_t kConnectionProxy = 0x04;              // INTERNET_CONNECTION_PROXY
constexpr uint32_t kOpenPreconfig = 0;                   // INTERNET_OPEN_TYPE_PRECONFIG
constexpr uint32_t kOpenPreconfigNoAutoProxy = 4;        // INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY
constexpr uint32_t kDownloadFlags = 0x84000100;          // RELOAD | NO_CACHE_WRITE | PRAGMA_NOCACHE
constexpr uint32_t kNoAutoRedirect = 0x00200000;         // INTERNET_FLAG_NO_AUTO_REDIRECT
constexpr uint32_t kQueryContentLength = 5;              // HTTP_QUERY_CONTENT_LENGTH
constexpr uint32_t kQueryContentRange = 53;              // HTTP_QUERY_CONTENT_RANGE
constexpr uint32_t kQueryLocation = 33;                  // HTTP_QUERY_LOCATION
constexpr uint32_t kQueryStatusNumber = 19 | 0x20000000; // HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER
constexpr uint32_t kCombineNoEncode = 0x20000000;        // ICU_NO_ENCODE: the target as the server wrote it
constexpr uint32_t kMaxHeaderText = 4096;
constexpr uint32_t kFirstErrorStatus = 400;
constexpr uint32_t kStatusPartial = 206;
constexpr uint32_t kStatusRangeNotSatisfiable = 416;
constexpr uint32_t kZeroElapsedMs = 10;  // reported instead of 0 ms

uint32_t __stdcall systemTickCount() { return GetTickCount(); }
int __stdcall systemWriteFile(void* file, const void* data, uint32_t size, unsigned long* written, void* overlapped) {
    return WriteFile(file, data, size, written, static_cast<OVERLAPPED*>(overlapped));
}
DownloadSystem gSystem{&systemTickCount, &systemWriteFile, kDownloadStallMs};

// The stop events of the downloads in progress, by object: `stop` must reach
// a download that waits for the network, and the object is only two words.
class RunningDownloads {
public:
    void add(const HttpDownloader* owner, HANDLE event) {
        std::lock_guard<std::mutex> guard(lock_);
        entries_.push_back({owner, event});
    }
    void remove(HANDLE event) {
        std::lock_guard<std::mutex> guard(lock_);
        entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                      [event](const Entry& e) { return e.event == event; }),
                       entries_.end());
    }
    // Under the lock, so an event is never set after its download removed it.
    void signal(const HttpDownloader* owner) {
        std::lock_guard<std::mutex> guard(lock_);
        for (const Entry& e : entries_)
            if (e.owner == owner) SetEvent(e.event);
    }

private:
    struct Entry {
        const HttpDownloader* owner;
        HANDLE event;
    };
    std::mutex lock_;
    std::vector<Entry> entries_;
};

RunningDownloads& runningDownloads() {
    static RunningDownloads downloads;
    return downloads;
}

// One download call's stop event, findable by its object while the call lasts.
class StopSignal {
public:
    explicit StopSignal(const HttpDownloader* owner) : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        if (event_) runningDownloads().add(owner, event_);
    }
    ~StopSignal() {
        if (!event_) return;
        runningDownloads().remove(event_);
        CloseHandle(event_);
    }
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;
    HANDLE event() const { return event_; }

private:
    HANDLE event_;
};

// Decimal digits of a signed value into `out` (room for 21 bytes).
const char* formatDecimal(int64_t value, char (&out)[24]) {
    char* end = out + sizeof out - 1;
    *end = 0;
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    char* at = end;
    do {
        *--at = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0) *--at = '-';
    return at;
}

// The response's status code; 0 when the handle has none (not HTTP).
uint32_t statusOf(uint32_t urlHandle) {
    uint32_t status = 0, size = sizeof status;
    if (!callDll<int32_t, Stdcall>(rt::kDllHttpQueryInfoA, urlHandle, kQueryStatusNumber, wordOf(&status),
                                   wordOf(&size), 0u))
        return 0;
    return status;
}

constexpr uint32_t kRedirectStatuses[] = {301, 302, 303, 307, 308};
bool isRedirect(uint32_t status) {
    return std::find(std::begin(kRedirectStatuses), std::end(kRedirectStatuses), status) != std::end(kRedirectStatuses);
}

// A response header as text: its length asked first, then the text into
// blanks of that length (empty when absent).
std::string headerText(uint32_t urlHandle, uint32_t level) {
    uint32_t needed = 0;
    callDll<int32_t, Stdcall>(rt::kDllHttpQueryInfoA, urlHandle, level, 0u, wordOf(&needed), 0u);
    if (needed == 0 || needed >= kMaxHeaderText) return std::string();
    std::string text(needed, ' ');
    uint32_t size = needed + 1;
    if (!callDll<int32_t, Stdcall>(rt::kDllHttpQueryInfoA, urlHandle, level, wordOf(text.data()), wordOf(&size), 0u))
        return std::string();
    if (size < needed) text.resize(size);
    return text;
}

// The digits at `at`, moved past them; -1 when there are none or too many.
// For the fields of Content-Range, whose format fixes where a number ends.
int64_t headerNumber(const char*& at) {
    if (*at < '0' || *at > '9') return -1;
    int64_t value = 0;
    for (; *at >= '0' && *at <= '9'; ++at) {
        if (value > (INT64_MAX - 9) / 10) return -1;
        value = value * 10 + (*at - '0');
    }
    return value;
}

// Content-Length read by the runtime's text-to-integer rule, as the
// application reads numbers; 0 when absent, not a number or negative.
int64_t contentLengthOf(uint32_t urlHandle) {
    const std::string text = headerText(urlHandle, kQueryContentLength);
    return std::max<int64_t>(rt::cmd::toInt64(text.c_str()), 0);
}

// "bytes FIRST-LAST/TOTAL" or "bytes */TOTAL"; -1 for what isn't given
// (TOTAL may be "*").
struct ContentRange {
    int64_t first = -1;
    int64_t total = -1;
};
ContentRange contentRangeOf(uint32_t urlHandle) {
    std::string text = headerText(urlHandle, kQueryContentRange);
    const char* at = text.c_str();
    while (*at == ' ') ++at;
    if (_strnicmp(at, "bytes", 5) != 0) return {};
    for (at += 5; *at == ' ';) ++at;
    ContentRange range;
    if (*at == '*') {
        ++at;
    } else {
        range.first = headerNumber(at);
        if (range.first < 0 || *at++ != '-' || headerNumber(at) < range.first) return {};
    }
    if (*at++ != '/') return {};
    range.total = headerNumber(at);
    return range;
}

// The size of the whole file, from the response itself: a 206 answer's
// Content-Range total (or its first byte plus its length when the total is
// "*"), otherwise Content-Length. 0 when unknown.
int64_t totalOf(uint32_t urlHandle, uint32_t status) {
    const int64_t length = contentLengthOf(urlHandle);
    if (status != kStatusPartial) return length;
    const ContentRange range = contentRangeOf(urlHandle);
    if (range.total >= 0) return range.total;
    return range.first >= 0 && length > 0 ? range.first + length : 0;
}

// `location` resolved against `base`; empty when there is none.
std::string combineUrl(const std::string& base, const std::string& location) {
    if (location.empty()) return std::string();
    // Resolving only shortens or keeps the parts (nothing is encoded).
    std::string combined(base.size() + location.size() + 1, '\0');
    uint32_t size = static_cast<uint32_t>(combined.size());
    if (!callDll<int32_t, Stdcall>(rt::kDllInternetCombineUrlA, wordOf(base.c_str()), wordOf(location.c_str()),
                                   wordOf(combined.data()), wordOf(&size), kCombineNoEncode))
        return std::string();
    combined.resize(std::min<size_t>(size, std::strlen(combined.c_str())));
    return combined;
}

struct Opened {
    BlockingCalls::Outcome outcome;
    uint32_t handle;  // held by the calls; 0 when the URL could not be opened
};

// Opens `url` and leaves it naming the final target. Redirects are followed
// here, at most kDownloadMaxRedirects of them: WinINet's own following never
// ends on a redirect loop under Wine.
Opened openUrl(BlockingCalls& calls, uint32_t session, std::string& url, const std::string& headers, uint32_t flags) {
    uint32_t headersWord = headers.empty() ? 0 : calls.keepText(headers.c_str());
    uint32_t headerLength = static_cast<uint32_t>(headers.size());
    for (uint32_t redirects = 0;; ++redirects) {
        uint32_t handle = 0;
        BlockingCalls::Outcome outcome =
            calls.call(rt::kDllInternetOpenUrlA,
                       {session, calls.keepText(url.c_str()), headersWord, headerLength, flags | kNoAutoRedirect, 0u},
                       &handle);
        if (outcome != BlockingCalls::kAnswered || !handle) return {outcome, 0};
        calls.hold(handle);
        if (!isRedirect(statusOf(handle))) return {outcome, handle};
        std::string next;
        if (redirects < kDownloadMaxRedirects) next = combineUrl(url, headerText(handle, kQueryLocation));
        // Left held: closing reads the rest of its body, which a hostile
        // server may never send; the helper closes it once we have gone.
        if (next.empty()) return {outcome, 0};
        url = next;
    }
}

// The result's message into the caller's text variable, when given.
void setMessage(Opt<char**> message, int32_t result) {
    if (message.given && message.value)
        text::store(message.value, rt::cmd::OwnedText(rt::makeText(downloadMessage(result))));
}

int32_t finish(Opt<char**> message, int32_t result) {
    setMessage(message, result);
    return result;
}

void destroyDownloader(HttpDownloader*) {}

// A new object with this one's state: space obtained from rtAlloc; the
// caller frees it.
HttpDownloader* copyDownloader(const HttpDownloader* self) {
    auto* copy = new (rt::rtAlloc(sizeof(HttpDownloader))) HttpDownloader;
    copy->ops = self->ops;
    copy->running = self->running;
    return copy;
}

// The flag first: a download that wakes from its wait sees it cleared.
void stopDownloader(HttpDownloader* self) {
    self->running = 0;
    runningDownloads().signal(self);
}

uint32_t openSession() {
    uint32_t connection = 0;
    callDll<int32_t, Stdcall>(rt::kDllInternetGetConnectedState, wordOf(&connection), 0u);
    std::string agent = "Agent" + std::to_string(static_cast<int32_t>(gSystem.tickCount()));
    uint32_t access = (connection & kConnectionProxy) ? kOpenPreconfig : kOpenPreconfigNoAutoProxy;
    return callDll<uint32_t, Stdcall>(rt::kDllInternetOpenA, wordOf(agent.c_str()), access, 0u, 0u, 0u);
}

std::string rangeHeader(Opt<int64_t> startOffset) {
    if (!startOffset.given || startOffset.value <= 0) return std::string();
    char digits[24];
    return std::string("\r\nRange:bytes=") + formatDecimal(startOffset.value, digits) + "-";
}

// The counts of one transfer.
struct Counts {
    int64_t total = 0;
    int64_t downloaded = 0;  // start offset included
    int64_t base = 0;        // the start offset the file continues from
};

// The target file: appended to when the server answered the range,
// otherwise started anew.
bool openTarget(LocalFile& file, const char* path, int64_t offset, bool resume, Counts& counts) {
    if (offset <= 0 || !resume) return file.open(path, LocalFile::Mode::CreateOrTruncate);
    DWORD attributes = path ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
    bool exists = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (!file.open(path, exists ? LocalFile::Mode::OpenOrCreateKeep : LocalFile::Mode::CreateOrTruncate)) return false;
    file.seekToEnd();
    counts.downloaded = counts.base = offset;
    return true;
}

// A plain stdcall call, as CallWindowProcA would make it with the four values
// in the places of window, message, wParam and lParam; under Wine that call
// costs as much per chunk as everything else the download does.
void reportProgress(DownloadProgressCallback callback, const Counts& counts, uint32_t elapsed) {
    if (!callback) return;
    char totalText[24], downloadedText[24], receivedText[24];
    callback(formatDecimal(counts.total, totalText), formatDecimal(counts.downloaded, downloadedText), elapsed,
             formatDecimal(counts.downloaded - counts.base, receivedText));
}

// One transfer loop, run as a job on the helper. The object, file and
// counts are the caller's: used only while the job has reached the caller.
struct Transfer {
    HttpDownloader* self;
    uint32_t request;
    LocalFile* file;
    Counts* counts;
    DownloadProgressCallback callback;
    uint32_t startTick;
    int32_t result;
};
constexpr int32_t kGoOn = 2;  // not a result: the download goes on

int32_t endOfData(const Transfer& t) {
    if (t.self->running == 0) return kDownloadStopped;
    // A known total is the truth: a body cut short, or a resume onto a file
    // of the wrong length, is no file to report as downloaded.
    if (t.counts->total > 0 && t.file->size() != t.counts->total) return kDownloadReadError;
    return kDownloadDone;
}

// What one read brought: the chunk written and reported, or the loop's end.
// A read that fails after a stop (its connection went) counts as the stop.
int32_t takeChunk(Transfer& t, uint32_t readOk, uint32_t bytesRead, const uint8_t* data) {
    if (!readOk) return t.self->running == 0 ? kDownloadStopped : kDownloadReadError;
    if (bytesRead == 0) return endOfData(t);
    // A lost chunk would leave a corrupt file behind a success.
    if (!t.file->write(data, bytesRead)) return kDownloadReadError;
    t.counts->downloaded += bytesRead;
    uint32_t elapsed = gSystem.tickCount() - t.startTick;  // modulo 2^32, so a wrapped tick count still subtracts right
    if (elapsed == 0) elapsed = kZeroElapsedMs;
    reportProgress(t.callback, *t.counts, elapsed);
    return kGoOn;
}

void transferJob(BlockingCalls::JobSide& side, void* context) {
    Transfer& t = *static_cast<Transfer*>(context);
    if (!side.reach()) return;
    for (;;) {
        if (t.self->running == 0) {
            t.result = kDownloadStopped;
            break;
        }
        uint32_t request = t.request;
        side.letGo();
        uint32_t* bytesRead = side.outWord();
        *bytesRead = 0;
        uint32_t readOk = callDll<int32_t, Stdcall>(rt::kDllInternetReadFile, request, wordOf(side.buffer()),
                                                    kChunkSize, wordOf(bytesRead));
        if (!side.reach()) return;
        int32_t step = takeChunk(t, readOk, *bytesRead, side.buffer());
        if (step != kGoOn) {
            t.result = step;
            break;
        }
    }
    side.letGo();
}

// The transfer loop, until end of data, a stop, a failure or a stall.
int32_t transfer(HttpDownloader* self, BlockingCalls& calls, uint32_t request, LocalFile& file, Counts& counts,
                 DownloadProgressCallback callback) {
    // A job that ended without a result (it threw) counts as a failed read.
    Transfer t{self, request, &file, &counts, callback, gSystem.tickCount(), kDownloadReadError};
    self->running = 1;
    switch (calls.run(&transferJob, &t)) {
        case BlockingCalls::kAnswered: return t.result;
        case BlockingCalls::kStopped: return kDownloadStopped;
        case BlockingCalls::kTimedOut: break;
    }
    return kDownloadReadError;
}

// The result of an open that brought no response; kGoOn when one came.
int32_t openFailure(const Opened& opened) {
    if (opened.outcome == BlockingCalls::kStopped) return kDownloadStopped;
    return opened.handle ? kGoOn : kDownloadUrlNotOpened;
}

// A range that starts at the end of a complete local file: nothing to fetch.
// The progress shows the whole file once, as after its last chunk.
int32_t completeAlready(HttpDownloader* self, DownloadProgressCallback callback, int64_t total) {
    self->running = 1;
    Counts counts;
    counts.total = counts.downloaded = counts.base = total;
    reportProgress(callback, counts, kZeroElapsedMs);
    return kDownloadDone;
}

int32_t runDownload(HttpDownloader* self, char** url, char** localPath, Opt<DownloadProgressCallback> progress,
                    Opt<int64_t> startOffset, Opt<char**> message) {
    std::string target = url && *url ? *url : "";
    const char* pathText = localPath ? *localPath : nullptr;
    const DownloadProgressCallback callback = progress.given ? progress.value : nullptr;
    StopSignal stop(self);
    BlockingCalls calls(stop.event(), gSystem.stallMs, kChunkSize);

    uint32_t session = openSession();
    if (!session) return finish(message, kDownloadNoSession);
    calls.hold(session);
    int64_t offset = startOffset.given ? startOffset.value : 0;
    Opened opened = openUrl(calls, session, target, rangeHeader(startOffset), kDownloadFlags);
    if (int32_t failure = openFailure(opened); failure != kGoOn) return finish(message, failure);
    uint32_t status = statusOf(opened.handle);

    if (offset > 0 && status == kStatusRangeNotSatisfiable) {
        const int64_t present = fileLength(pathText);
        if (present > 0 && present == contentRangeOf(opened.handle).total)
            return finish(message, completeAlready(self, callback, present));
        // The local file is no beginning of this one: it starts over.
        offset = 0;
        opened = openUrl(calls, session, target, std::string(), kDownloadFlags);
        if (int32_t failure = openFailure(opened); failure != kGoOn) return finish(message, failure);
        status = statusOf(opened.handle);
    }
    // An error page must never truncate or replace the local file.
    if (status >= kFirstErrorStatus) return finish(message, kDownloadUrlNotOpened);
    // A server that ignores the range sends the whole file: start it over.
    const bool resume = offset > 0 && status == kStatusPartial;

    Counts counts;
    LocalFile file;
    if (!openTarget(file, pathText, offset, resume, counts)) return finish(message, kDownloadFileNotOpened);
    counts.total = totalOf(opened.handle, status);

    const uint32_t request = opened.handle;
    int32_t result = transfer(self, calls, request, file, counts, callback);
    file.close();
    calls.forget(request);  // the session closes with the calls, and closing it closes the request
    if (result == kDownloadStopped) self->running = 0;  // also when the stop came before the loop began
    return finish(message, result);
}

}  // namespace

const HttpDownloaderOps kHttpDownloaderOps = {&destroyDownloader, &copyDownloader, &runDownload, &stopDownloader};

DownloadSystem& downloadSystem() { return gSystem; }

const char* downloadMessage(int32_t result) {
    switch (result) {
        case kDownloadNoSession: return "网络连接错误";
        case kDownloadUrlNotOpened: return "不能打开该URL";
        case kDownloadFileNotOpened: return "不能打开本地文件";
        case kDownloadReadError: return "读文件出错";
        case kDownloadStopped: return "下载已暂停";
        case kDownloadDone: return "下载成功";
        default: return "";
    }
}

}  // namespace web
