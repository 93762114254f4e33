// Resumable download of one URL into a local file over the system Internet
// API, in 10240-byte chunks, with a progress callback after every chunk and
// a stop flag that any thread may set.
#pragma once

#include <cstdint>

#include "web/optional.h"

namespace web {

// Result codes; each comes with its message text.
enum DownloadResult : int32_t {
    kDownloadNoSession = -1,      // "网络连接错误"
    kDownloadUrlNotOpened = -2,   // "不能打开该URL"
    kDownloadFileNotOpened = -3,  // "不能打开本地文件"
    kDownloadReadError = -4,      // "读文件出错": a failed read or write, a stall, data short of the announced size
    kDownloadDone = 0,            // "下载成功"
    kDownloadStopped = 1,         // "下载已暂停"
};
const char* downloadMessage(int32_t result);

// Called after each chunk with the decimal texts of the total size (0 when
// unknown), the downloaded count (start offset included) and the bytes
// received by this call, and the elapsed milliseconds (never 0). The texts
// are valid only during the call. A plain four-argument stdcall function, as
// CallWindowProcA would call it.
using DownloadProgressCallback = intptr_t(__stdcall*)(const char* totalSize, const char* downloaded,
                                                      uint32_t elapsedMs, const char* receivedNow);

struct HttpDownloader;

// The class's operation table, in its fixed order.
struct HttpDownloaderOps {
    void (*destroy)(HttpDownloader* self);                   // does nothing
    HttpDownloader* (*copy)(const HttpDownloader* self);     // space obtained from rtAlloc; caller frees
    int32_t (*download)(HttpDownloader* self, char** url, char** localPath, Opt<DownloadProgressCallback> progress,
                        Opt<int64_t> startOffset, Opt<char**> message);
    // From any thread; also ends at once a wait of the running download for
    // the network (its result is then 1).
    void (*stop)(HttpDownloader* self);
};
extern const HttpDownloaderOps kHttpDownloaderOps;

struct HttpDownloader {
    const HttpDownloaderOps* ops = &kHttpDownloaderOps;
    // 1 while the transfer loop may continue; `stop` clears it from any thread.
    volatile int32_t running = 0;

    // `url` and `localPath` are the caller's text variables. A start offset
    // greater than 0 asks for the bytes from there on and appends them to the
    // existing file. `message` receives the outcome text (its old text freed;
    // the new one obtained from rtAlloc, the variable's owner frees it).
    int32_t download(char** url, char** localPath, Opt<DownloadProgressCallback> progress = {},
                     Opt<int64_t> startOffset = {}, Opt<char**> message = {}) {
        return ops->download(this, url, localPath, progress, startOffset, message);
    }
    void stop() { ops->stop(this); }
};
static_assert(sizeof(HttpDownloader) == 8, "two words: operation table and running flag");

// How long a download waits for the server's answer or for the next chunk
// before it gives up (-2 while opening, -4 while reading). Wine reads until
// the 10240-byte buffer is full, so a trickle slower than that counts too.
constexpr uint32_t kDownloadStallMs = 30000;
// Redirects followed before the download gives up with -2.
constexpr uint32_t kDownloadMaxRedirects = 10;

// What a test needs to control: the tick source of the agent name and of
// the elapsed time, the local file's writes and the stall limit.
struct DownloadSystem {
    uint32_t(__stdcall* tickCount)();
    int(__stdcall* writeFile)(void* file, const void* data, uint32_t size, unsigned long* written, void* overlapped);
    uint32_t stallMs;
};
DownloadSystem& downloadSystem();

}  // namespace web
