// The resumable download over WinINet, reached through DLL commands.
#include "web/http_downloader.h"

#include <windows.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "runtime/dll_commands.h"
#include "runtime/heap.h"
#include "web/local_file.h"

namespace web {

using rt::callDll;
using rt::Stdcall;

namespace {

constexpr uint32_t kChunkSize = 10240;
constexpr uint32_t kConnectionProxy = 0x04;              // INTERNET_CONNECTION_PROXY
constexpr uint32_t kOpenPreconfig = 0;                   // INTERNET_OPEN_TYPE_PRECONFIG
constexpr uint32_t kOpenPreconfigNoAutoProxy = 4;        // INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY
constexpr uint32_t kDownloadFlags = 0x84000100;          // RELOAD | NO_CACHE_WRITE | PRAGMA_NOCACHE
constexpr uint32_t kSizeQueryFlags = 0x80000000;         // RELOAD
constexpr uint32_t kQueryContentLength = 5;              // HTTP_QUERY_CONTENT_LENGTH
constexpr uint32_t kQueryStatusNumber = 19 | 0x20000000; // HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER

uint32_t __stdcall systemTickCount() { return GetTickCount(); }
int __stdcall systemWriteFile(void* file, const void* data, uint32_t size, unsigned long* written, void* overlapped) {
    return WriteFile(file, data, size, written, static_cast<OVERLAPPED*>(overlapped));
}
DownloadSystem gSystem{&systemTickCount, &systemWriteFile};

uint32_t word(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

// A WinINet handle, closed through the DLL command when its owner goes.
class InternetHandle {
public:
    explicit InternetHandle(uint32_t handle = 0) : handle_(handle) {}
    ~InternetHandle() { close(); }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    uint32_t get() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }
    // Forgets a handle that its parent's closing has closed already.
    void release() { handle_ = 0; }
    void close() {
        if (handle_) callDll<int32_t, Stdcall>(rt::kDllInternetCloseHandle, handle_);
        handle_ = 0;
    }

private:
    uint32_t handle_;
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

// The runtime's text-to-integer rule for a header value: blanks, a sign,
// then decimal digits; anything else reads as 0.
int64_t textToInt64(const char* text) {
    if (!text) return 0;
    while (*text == ' ' || *text == '\t') ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    int64_t value = 0;
    while (*text >= '0' && *text <= '9') value = value * 10 + (*text++ - '0');
    return negative ? -value : value;
}

// The response's status code; 0 when the handle has none (not HTTP).
uint32_t statusOf(uint32_t urlHandle) {
    uint32_t status = 0, size = sizeof status;
    if (!callDll<int32_t, Stdcall>(rt::kDllHttpQueryInfoA, urlHandle, kQueryStatusNumber, word(&status), word(&size),
                                   0u))
        return 0;
    return status;
}

void setMessage(Opt<char**> message, int32_t result) {
    if (!message.given || !message.value) return;
    char* fresh = rt::makeText(downloadMessage(result));
    rt::rtFree(*message.value);
    *message.value = fresh;
}

int32_t finish(Opt<char**> message, int32_t result) {
    setMessage(message, result);
    return result;
}

void destroyDownloader(HttpDownloader*) {}

HttpDownloader* copyDownloader(const HttpDownloader* self) {
    auto* copy = new (rt::rtAlloc(sizeof(HttpDownloader))) HttpDownloader;
    copy->ops = self->ops;
    copy->running = self->running;
    return copy;
}

void stopDownloader(HttpDownloader* self) { self->running = 0; }

int32_t runDownload(HttpDownloader* self, char** url, char** localPath, Opt<DownloadProgressCallback> progress,
                    Opt<int64_t> startOffset, Opt<char**> message) {
    const char* urlText = url && *url ? *url : "";
    const char* pathText = localPath ? *localPath : nullptr;

    uint32_t connection = 0;
    callDll<int32_t, Stdcall>(rt::kDllInternetGetConnectedState, word(&connection), 0u);
    std::string agent = "Agent" + std::to_string(static_cast<int32_t>(gSystem.tickCount()));
    uint32_t access = (connection & kConnectionProxy) ? kOpenPreconfig : kOpenPreconfigNoAutoProxy;
    InternetHandle session(callDll<uint32_t, Stdcall>(rt::kDllInternetOpenA, word(agent.c_str()), access, 0u, 0u, 0u));
    if (!session) return finish(message, kDownloadNoSession);

    int64_t offset = startOffset.given ? startOffset.value : 0;
    std::string range;
    if (startOffset.given && offset > 0) {
        char digits[24];
        range = std::string("\r\nRange:bytes=") + formatDecimal(offset, digits) + "-";
    }
    std::vector<uint8_t> buffer(kChunkSize, 0);

    InternetHandle request(callDll<uint32_t, Stdcall>(rt::kDllInternetOpenUrlA, session.get(), word(urlText),
                                                      range.empty() ? 0u : word(range.c_str()),
                                                      static_cast<uint32_t>(range.size()), kDownloadFlags, 0u));
    if (!request) return finish(message, kDownloadUrlNotOpened);

    // An error page must never truncate or replace the local file.
    uint32_t status = statusOf(request.get());
    if (status >= 400) return finish(message, kDownloadUrlNotOpened);
    // A server that ignores the range sends the whole file: start it over.
    bool resume = offset > 0 && status != 200;

    int64_t totalSize = 0, downloaded = 0, base = 0;
    LocalFile file;
    if (offset <= 0 || !resume) {
        if (!file.open(pathText, LocalFile::Mode::CreateOrTruncate)) return finish(message, kDownloadFileNotOpened);
    } else {
        DWORD attributes = pathText ? GetFileAttributesA(pathText) : INVALID_FILE_ATTRIBUTES;
        bool exists = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
        if (!file.open(pathText, exists ? LocalFile::Mode::OpenOrCreateKeep : LocalFile::Mode::CreateOrTruncate))
            return finish(message, kDownloadFileNotOpened);
        file.seekToEnd();
        downloaded = base = offset;
    }
    totalSize = queryRemoteSize(url);

    uint32_t callback = progress.given ? word(reinterpret_cast<const void*>(progress.value)) : 0;
    uint32_t startTick = gSystem.tickCount();
    uint32_t elapsed = 10;
    self->running = 1;
    char totalText[24], downloadedText[24], receivedText[24];
    for (;;) {
        if (self->running == 0) break;
        uint32_t bytesRead = 0;
        if (!callDll<int32_t, Stdcall>(rt::kDllInternetReadFile, request.get(), word(buffer.data()), kChunkSize,
                                       word(&bytesRead)))
            return finish(message, kDownloadReadError);
        if (bytesRead == 0) break;
        // A lost chunk would leave a corrupt file behind a success.
        if (!file.write(buffer.data(), bytesRead)) return finish(message, kDownloadReadError);
        downloaded += bytesRead;
        elapsed = gSystem.tickCount() - startTick;  // modulo 2^32, so a wrapped tick count still subtracts right
        if (elapsed == 0) elapsed = 10;
        if (callback) {
            callDll<int32_t, Stdcall>(rt::kDllCallWindowProcA, callback, word(formatDecimal(totalSize, totalText)),
                                      word(formatDecimal(downloaded, downloadedText)), elapsed,
                                      word(formatDecimal(downloaded - base, receivedText)));
        }
    }
    file.close();
    session.close();
    request.release();  // closing the session closed it
    if (self->running == 0) return finish(message, kDownloadStopped);
    // Data that ends before the announced size is a failed read, not a file.
    if (totalSize > 0 && downloaded < totalSize) return finish(message, kDownloadReadError);
    return finish(message, kDownloadDone);
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

int64_t queryRemoteSize(char** url) {
    const char* urlText = url && *url ? *url : "";
    static const char kNoAgent[] = "";
    InternetHandle session(
        callDll<uint32_t, Stdcall>(rt::kDllInternetOpenA2, word(kNoAgent), kOpenPreconfig, 0u, 0u, 0u));
    if (!session) return 0;
    std::string text;
    {
        InternetHandle request(callDll<uint32_t, Stdcall>(rt::kDllInternetOpenUrlA, session.get(), word(urlText), 0u,
                                                          0u, kSizeQueryFlags, 0u));
        if (request) {
            uint32_t needed = 0;
            callDll<int32_t, Stdcall>(rt::kDllHttpQueryInfoA, request.get(), kQueryContentLength, 0u, word(&needed),
                                      0u);
            if (needed > 0 && needed < 4096) {
                text.assign(needed, ' ');
                uint32_t size = needed + 1;
                if (!callDll<int32_t, Stdcall>(rt::kDllHttpQueryInfoA, request.get(), kQueryContentLength,
                                               word(text.data()), word(&size), 0u))
                    text.clear();
            }
        }
    }
    return textToInt64(text.c_str());
}

}  // namespace web
