// download against nginx (real Content-Length and Range/206) and our fault
// server (no length, cut connections, ignored ranges, slow bodies, stalls, redirect loops).
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "runtime/dll_commands.h"
#include "tests/support/msgbox_watch.h"
#include "tests/web/runtime_values.h"
#include "tests/web/test_servers.h"
#include "web/http_downloader.h"

using namespace web;
using namespace test_values;
using namespace test_servers;

namespace {

struct Progress {
    std::string total, downloaded, received;
    uint32_t elapsed;
};
std::vector<Progress> gCalls;
HANDLE gFirstCall = nullptr;

intptr_t __stdcall recordProgress(const char* total, const char* downloaded, uint32_t elapsed, const char* received) {
    gCalls.push_back({total, downloaded, received, elapsed});
    if (gFirstCall) SetEvent(gFirstCall);
    return 0;
}

size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class Download : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nginxPort(), 0) << "run through tests/servers/run_with_servers.py";
        gCalls.clear();
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        target_ = std::string(dir) + "pelmora-download-" + std::to_string(GetCurrentProcessId()) + ".bin";
        DeleteFileA(target_.c_str());
    }
    void TearDown() override { DeleteFileA(target_.c_str()); }

    // Puts `bytes` on nginx under `name`.
    std::string serve(const std::string& name, const std::string& bytes) {
        writeWholeFile(nginxRoot() + name, bytes);
        return nginxUrl("/" + name);
    }

    int32_t run(const std::string& url, Opt<int64_t> offset = {}, HttpDownloader* downloader = nullptr) {
        gCalls.clear();
        HttpDownloader local;
        TextVar urlVar(url), path(target_);
        rt::rtFree(message_.value);  // download releases what the variable held
        message_.value = text("previous message");
        return (downloader ? downloader : &local)
            ->download(&urlVar, &path, DownloadProgressCallback(recordProgress), offset, &message_);
    }

    std::string message() const { return testing_support::gbkToUtf8(message_.str()); }
    std::string local() const { return readWholeFile(target_); }

    std::string target_;
    TextVar message_;
};

// Every call: chunks of at most 10240 bytes, counts consistent, elapsed never 0.
void expectConsistentCalls(int64_t offset) {
    int64_t previous = offset;
    for (const Progress& p : gCalls) {
        int64_t downloaded = std::atoll(p.downloaded.c_str());
        EXPECT_GT(downloaded, previous);
        EXPECT_LE(downloaded - previous, 10240);
        EXPECT_EQ(std::atoll(p.received.c_str()), downloaded - offset);
        EXPECT_NE(p.elapsed, 0u);
        previous = downloaded;
    }
}

}  // namespace

TEST_F(Download, WholeFileWithProgressPerChunk) {
    std::string content = patternBytes(0, 100000);
    std::string url = serve("whole.bin", content);
    EXPECT_EQ(run(url), kDownloadDone);
    EXPECT_EQ(message(), testing_support::u8s(u8"下载成功"));
    EXPECT_EQ(local(), content);
    ASSERT_GE(gCalls.size(), 10u);
    expectConsistentCalls(0);
    EXPECT_EQ(gCalls.back().total, "100000");
    EXPECT_EQ(gCalls.back().downloaded, "100000");
    EXPECT_EQ(gCalls.back().received, "100000");
}

// The size comes from the download's own answer: a server that refuses a
// second connection can't make it lie, and there is only one request.
TEST_F(Download, OneConnectionServerGivesTheTrueTotal) {
    constexpr size_t kSize = 3000000;
    std::string content = patternBytes(0, kSize);
    writeWholeFile(nginxRoot() + "one.bin", content);
    takeNginxLog();
    EXPECT_EQ(run(nginxUrl("/one-connection/one.bin")), kDownloadDone);
    EXPECT_TRUE(local() == content) << local().size() << " bytes";
    ASSERT_FALSE(gCalls.empty());
    for (const Progress& p : gCalls) {
        ASSERT_EQ(p.total, std::to_string(kSize));
        ASSERT_LE(std::atoll(p.downloaded.c_str()), static_cast<long long>(kSize));
    }
    EXPECT_EQ(takeNginxLog(), "GET /one-connection/one.bin HTTP/1.1 \"-\" 200 3000000\n");
}

TEST_F(Download, ZeroOffsetTruncatesAnExistingFileAndSendsNoRange) {
    writeWholeFile(target_, std::string(50000, 'x'));
    std::string content = patternBytes(0, 20000);
    EXPECT_EQ(run(serve("small.bin", content), int64_t(0)), kDownloadDone);
    EXPECT_EQ(local(), content);
    std::string log = readWholeFile(nginxAccessLog());
    EXPECT_NE(log.find("GET /small.bin HTTP/1.1 \"-\" 200"), std::string::npos) << log;
    EXPECT_EQ(log.find("bytes="), std::string::npos) << log;
}

// Continuing a local file: the total is the whole file's, from the answer;
// a file that doesn't end up exactly that long is a failure, not a success.
TEST_F(Download, ResumeOutcomes) {
    const std::string file = patternBytes(0, 90000);
    struct Case {
        const char* name;
        std::string url;
        std::optional<std::string> before;  // the local file; none: no file
        int64_t offset;
        int32_t result;
        std::string after;
        std::vector<std::string> last;  // the last progress values: total, downloaded, received
        std::string requests;  // what the servers saw: nginx's lines, then the fault server's Range values
    };
    const std::string url = serve("resume.bin", file);
    const Case cases[] = {
        {"appended, total from Content-Range", url, file.substr(0, 30000), 30000, kDownloadDone, file,
         {"90000", "90000", "60000"}, "GET /resume.bin HTTP/1.1 \"bytes=30000-\" 206 60000\n"},
        {"total \"*\": first byte plus length", faultUrl("/file/5000?total=star"), patternBytes(0, 1000), 1000,
         kDownloadDone, patternBytes(0, 5000), {"5000", "5000", "4000"}, "bytes=1000-"},
        {"local file longer than the offset", url, file.substr(0, 30000), 20000, kDownloadReadError,
         file.substr(0, 30000) + file.substr(20000), {"90000", "90000", "70000"},
         "GET /resume.bin HTTP/1.1 \"bytes=20000-\" 206 70000\n"},
        {"no local file", url, std::nullopt, 25000, kDownloadReadError, file.substr(25000),
         {"90000", "90000", "65000"}, "GET /resume.bin HTTP/1.1 \"bytes=25000-\" 206 65000\n"},
        {"416 on the complete file: nothing fetched", url, file, 90000, kDownloadDone, file,
         {"90000", "90000", "0"}, "GET /resume.bin HTTP/1.1 \"bytes=90000-\" 416 197\n"},
        {"416 on a longer file: started over", url, file + "junk", 90004, kDownloadDone, file,
         {"90000", "90000", "90000"},
         "GET /resume.bin HTTP/1.1 \"bytes=90004-\" 416 197\nGET /resume.bin HTTP/1.1 \"-\" 200 90000\n"},
        {"range ignored: started over", faultUrl("/range200/50000"), patternBytes(0, 20000), 20000, kDownloadDone,
         patternBytes(0, 50000), {"50000", "50000", "50000"}, "bytes=20000-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(target_.c_str());
        if (c.before) writeWholeFile(target_, *c.before);
        takeNginxLog();
        takeFaultRequests();
        EXPECT_EQ(run(c.url, c.offset), c.result);
        EXPECT_TRUE(local() == c.after) << local().size() << " bytes";
        ASSERT_FALSE(gCalls.empty());
        EXPECT_EQ((std::vector<std::string>{gCalls.back().total, gCalls.back().downloaded, gCalls.back().received}),
                  c.last);
        for (const Progress& p : gCalls) EXPECT_EQ(p.total, c.last[0]);
        std::string faultRequests = takeFaultRequests();
        if (c.url == url) {
            EXPECT_EQ(takeNginxLog(), c.requests);
        } else {  // one request, with the range
            EXPECT_EQ(countOf(faultRequests, "\"GET "), 1u) << faultRequests;
            EXPECT_NE(faultRequests.find("\"Range\", \"" + c.requests + "\""), std::string::npos) << faultRequests;
        }
    }
}

TEST_F(Download, TotalIsTheContentLengthReadAsTheRuntimeReadsNumbers) {
    const struct {
        const char* path;
        const char* total;
    } cases[] = {
        {"/nolength/30000", "0"},
        {"/length/30000?text=%2B30000", "30000"},  // "+30000": a sign, as the text-to-integer rule takes it
        {"/length/30000?text=-30000", "0"},        // no length is negative
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(run(faultUrl(c.path)), kDownloadDone);
        EXPECT_EQ(local(), patternBytes(0, 30000));
        ASSERT_FALSE(gCalls.empty());
        for (const Progress& p : gCalls) EXPECT_EQ(p.total, c.total);
        EXPECT_EQ(gCalls.back().downloaded, "30000");
    }
}

TEST_F(Download, ZeroLengthBodyMakesNoProgressCall) {
    EXPECT_EQ(run(serve("empty.bin", "")), kDownloadDone);
    EXPECT_TRUE(fileExists(target_));
    EXPECT_EQ(local(), "");
    EXPECT_TRUE(gCalls.empty());
    EXPECT_EQ(run(faultUrl("/zero")), kDownloadDone);
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(Download, ErrorStatusNeverTouchesTheLocalFile) {
    writeWholeFile(target_, "keep me");
    EXPECT_EQ(run(nginxUrl("/no-such-file.bin")), kDownloadUrlNotOpened);
    EXPECT_EQ(message(), testing_support::u8s(u8"不能打开该URL"));
    EXPECT_EQ(run(faultUrl("/status/500"), int64_t(3)), kDownloadUrlNotOpened);
    EXPECT_EQ(local(), "keep me");
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(Download, UnreachablePortCannotOpenTheUrl) {
    writeWholeFile(target_, "keep me");
    EXPECT_EQ(run("http://127.0.0.1:" + std::to_string(closedPort()) + "/x.bin"), kDownloadUrlNotOpened);
    EXPECT_EQ(local(), "keep me");
}

TEST_F(Download, LocalFileThatCannotBeOpened) {
    std::string url = serve("any.bin", "abc");
    HttpDownloader downloader;
    TextVar urlVar(url), dir("Z:\\no\\such\\directory\\file.bin"), msg;
    EXPECT_EQ(downloader.download(&urlVar, &dir, {}, {}, &msg), kDownloadFileNotOpened);
    EXPECT_EQ(testing_support::gbkToUtf8(msg.str()), testing_support::u8s(u8"不能打开本地文件"));
}

TEST_F(Download, ConnectionCutBeforeTheAnnouncedSizeIsAReadError) {
    EXPECT_EQ(run(faultUrl("/cut/100000")), kDownloadReadError);
    EXPECT_EQ(message(), testing_support::u8s(u8"读文件出错"));
    EXPECT_EQ(local(), patternBytes(0, local().size()));  // what came is kept as it came
    EXPECT_LT(local().size(), 100000u);
}

namespace {
int gWritesBeforeFailure = 0;
int __stdcall failingWrite(void* file, const void* data, uint32_t size, unsigned long* written, void* overlapped) {
    if (gWritesBeforeFailure-- > 0) return WriteFile(file, data, size, written, nullptr);
    SetLastError(ERROR_DISK_FULL);
    *written = 0;
    return 0;
}
}  // namespace

TEST_F(Download, FailedWriteIsNotReportedAsSuccess) {
    std::string url = serve("diskfull.bin", patternBytes(0, 60000));
    auto saved = downloadSystem().writeFile;
    gWritesBeforeFailure = 2;
    downloadSystem().writeFile = failingWrite;
    int32_t result = run(url);
    downloadSystem().writeFile = saved;
    EXPECT_EQ(result, kDownloadReadError);
    EXPECT_EQ(message(), testing_support::u8s(u8"读文件出错"));
    EXPECT_EQ(gCalls.size(), 2u);  // no progress for the chunk that was lost
}

namespace {
DWORD __stdcall stopOnFirstProgress(void* param) {
    WaitForSingleObject(gFirstCall, INFINITE);
    static_cast<HttpDownloader*>(param)->stop();
    return 0;
}
}  // namespace

TEST_F(Download, StopFromAnotherThreadKeepsThePartialFile) {
    HttpDownloader downloader;
    gFirstCall = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE stopper = CreateThread(nullptr, 0, stopOnFirstProgress, &downloader, 0, nullptr);
    int32_t result = run(faultUrl("/slow/1000000?ms=30"), {}, &downloader);
    WaitForSingleObject(stopper, INFINITE);
    CloseHandle(stopper);
    CloseHandle(gFirstCall);
    gFirstCall = nullptr;
    EXPECT_EQ(result, kDownloadStopped);
    EXPECT_EQ(message(), testing_support::u8s(u8"下载已暂停"));
    EXPECT_EQ(downloader.running, 0);
    ASSERT_FALSE(gCalls.empty());
    std::string partial = local();
    EXPECT_EQ(std::to_string(partial.size()), gCalls.back().downloaded);
    EXPECT_LT(partial.size(), 1000000u);
    EXPECT_EQ(partial, patternBytes(0, partial.size()));
    // A stop before the loop is overwritten when the loop starts.
    downloader.stop();
    EXPECT_EQ(run(serve("after-stop.bin", "xyz"), {}, &downloader), kDownloadDone);
    EXPECT_EQ(downloader.running, 1);
}

namespace {
// A tick source the test controls: each read advances by gStep.
uint32_t gTick = 0, gStep = 0;
std::vector<uint32_t> gReads;
uint32_t __stdcall scriptedTick() {
    gReads.push_back(gTick);
    uint32_t now = gTick;
    gTick += gStep;
    return now;
}
struct ScriptedClock {
    uint32_t(__stdcall* saved)();
    ScriptedClock(uint32_t start, uint32_t step) : saved(downloadSystem().tickCount) {
        gTick = start;
        gStep = step;
        gReads.clear();
        downloadSystem().tickCount = scriptedTick;
    }
    ~ScriptedClock() { downloadSystem().tickCount = saved; }
};
}  // namespace

TEST_F(Download, ElapsedWrapsModulo2To32AndIsNeverZero) {
    std::string url = serve("ticks.bin", patternBytes(0, 60000));
    {
        // Agent name at 0xFFFFFFF0, loop start 0xFFFFFFF8, then +8 per read: wraps past 2^32.
        ScriptedClock clock(0xFFFFFFF0u, 8);
        takeFaultRequests();
        EXPECT_EQ(run(faultUrl("/file/60000")), kDownloadDone);
        ASSERT_GE(gCalls.size(), 2u);
        for (size_t i = 0; i < gCalls.size(); ++i) EXPECT_EQ(gCalls[i].elapsed, 8u * (i + 1)) << i;
        std::string requests = takeFaultRequests();
        // The agent name is the tick count as a signed number.
        EXPECT_NE(requests.find("\"User-Agent\", \"Agent-16\""), std::string::npos) << requests;
    }
    {
        // A tick count that doesn't move: the elapsed value is 10, not 0.
        ScriptedClock clock(12345, 0);
        EXPECT_EQ(run(url), kDownloadDone);
        ASSERT_FALSE(gCalls.empty());
        for (const Progress& p : gCalls) EXPECT_EQ(p.elapsed, 10u);
    }
}

namespace {
// The session and URL calls of a download, watched: the DLL command table
// is bound afresh with InternetOpenA and InternetOpenUrlA written down
// before they run, and a connection state that the test chooses.
std::mutex gWatchLock;
std::vector<std::string> gWinInetCalls;
DWORD gConnectionFlags = 0;
decltype(&InternetOpenA) gRealOpen = nullptr;
decltype(&InternetOpenUrlA) gRealOpenUrl = nullptr;

// The first `length` bytes of `text` quoted, or null.
std::string quotedOrNull(const char* text, size_t length) {
    if (!text) return "null";
    std::string out(1, '"');
    out.append(text, length).push_back('"');
    return out;
}
std::string quotedOrNull(const char* text) { return quotedOrNull(text, text ? std::strlen(text) : 0); }
std::string hex(uint32_t value) {
    char out[16];
    std::snprintf(out, sizeof out, "0x%08X", static_cast<unsigned>(value));
    return out;
}
std::string openText(const char* agent, DWORD access, const char* proxy, const char* bypass, DWORD flags) {
    return "InternetOpenA(" + quotedOrNull(agent) + ", " + std::to_string(access) + ", " + quotedOrNull(proxy) + ", " +
           quotedOrNull(bypass) + ", " + hex(flags) + ")";
}
// The headers as far as their stated length reaches.
std::string openUrlText(const std::string& url, const char* headers, DWORD length, DWORD flags, DWORD_PTR context) {
    const size_t shown = headers ? std::min<size_t>(length, std::strlen(headers)) : 0;
    return "InternetOpenUrlA(" + url + ", " + quotedOrNull(headers, shown) + ", " + std::to_string(length) + ", " +
           hex(flags) + ", " + std::to_string(context) + ")";
}

void note(const std::string& call) {
    std::lock_guard<std::mutex> guard(gWatchLock);
    gWinInetCalls.push_back(call);
}
BOOL WINAPI watchedConnectedState(LPDWORD flags, DWORD) {
    *flags = gConnectionFlags;
    return TRUE;
}
HINTERNET WINAPI watchedOpen(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass, DWORD flags) {
    note(openText(agent, access, proxy, bypass, flags));
    return gRealOpen(agent, access, proxy, bypass, flags);
}
HINTERNET WINAPI watchedOpenUrl(HINTERNET session, LPCSTR url, LPCSTR headers, DWORD length, DWORD flags,
                                DWORD_PTR context) {
    note(openUrlText(url, headers, length, flags, context));
    return gRealOpenUrl(session, url, headers, length, flags, context);
}

// Function addresses of other types, as GetProcAddress deals in them.
template <typename To, typename From>
To functionCast(From function) {
    return reinterpret_cast<To>(reinterpret_cast<void*>(function));
}

FARPROC WINAPI watchedProcAddress(HMODULE module, LPCSTR name) {
    FARPROC real = GetProcAddress(module, name);
    if (!real || IS_INTRESOURCE(name)) return real;
    const std::string entry = name;
    if (entry == "InternetGetConnectedState") return functionCast<FARPROC>(&watchedConnectedState);
    if (entry == "InternetOpenA") {
        gRealOpen = functionCast<decltype(gRealOpen)>(real);
        return functionCast<FARPROC>(&watchedOpen);
    }
    if (entry == "InternetOpenUrlA") {
        gRealOpenUrl = functionCast<decltype(gRealOpenUrl)>(real);
        return functionCast<FARPROC>(&watchedOpenUrl);
    }
    return real;
}

void rebindDllCommands() {
    rt::freeDllModules();
    rt::prepareDllTables(rt::kDllCommandCount, rt::kDllLibraryNames, rt::kDllEntryNames);
}

struct WinInetWatch {
    rt::DllSystemCalls saved = rt::dllSystemCalls();
    explicit WinInetWatch(DWORD connectionFlags) {
        gConnectionFlags = connectionFlags;
        gWinInetCalls.clear();
        rt::dllSystemCalls().getProcAddress = &watchedProcAddress;
        rebindDllCommands();
    }
    ~WinInetWatch() {
        rt::dllSystemCalls() = saved;
        rebindDllCommands();
    }
    std::vector<std::string> calls() {
        std::lock_guard<std::mutex> guard(gWatchLock);
        return gWinInetCalls;
    }
};
}  // namespace

// The arguments of the session and the request: the access type follows
// the proxy flag of the connection state, the request always bypasses the
// caches, and a resume asks for the rest in a range header of its own form.
TEST_F(Download, SessionAndRequestArguments) {
    constexpr DWORD kLan = INTERNET_CONNECTION_LAN;
    constexpr DWORD kLanBehindProxy = INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_PROXY;
    constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                    INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_AUTO_REDIRECT;
    constexpr uint32_t kTick = 7;
    constexpr int64_t kResumeAt = 1000;
    constexpr size_t kSize = 5000;
    const std::string url = faultUrl("/file/" + std::to_string(kSize));
    const std::string agent = "Agent" + std::to_string(kTick);
    const std::string rangeHeader = "\r\nRange:bytes=" + std::to_string(kResumeAt) + "-";
    struct Case {
        const char* name;
        DWORD connection;
        Opt<int64_t> offset;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"direct, from the start", kLan, {},
         {openText(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY, nullptr, nullptr, 0),
          openUrlText(url, nullptr, 0, kRequestFlags, 0)}},
        {"behind a proxy, resumed", kLanBehindProxy, kResumeAt,
         {openText(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0),
          openUrlText(url, rangeHeader.c_str(), static_cast<DWORD>(rangeHeader.size()), kRequestFlags, 0)}},
    };
    ScriptedClock clock(kTick, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(target_.c_str());
        if (c.offset.given) writeWholeFile(target_, patternBytes(0, static_cast<size_t>(c.offset.value)));
        WinInetWatch watch(c.connection);
        EXPECT_EQ(run(url, c.offset), kDownloadDone);
        EXPECT_TRUE(local() == patternBytes(0, kSize)) << local().size() << " bytes";
        EXPECT_EQ(watch.calls(), c.calls);
    }
}

namespace {
// A port that takes connections and answers none: the response headers
// never come. It closes after `lifetimeMs`, which resets what still waits,
// so a download that doesn't give up fails the test rather than hangs it.
class SilentListener {
public:
    explicit SilentListener(DWORD lifetimeMs) : lifetimeMs_(lifetimeMs) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(socket_, SOMAXCONN);
        int length = sizeof address;
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        done_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        closer_ = CreateThread(nullptr, 0, closeLater, this, 0, nullptr);
    }
    ~SilentListener() {
        SetEvent(done_);
        WaitForSingleObject(closer_, INFINITE);
        CloseHandle(closer_);
        CloseHandle(done_);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/x.bin"; }

private:
    static DWORD __stdcall closeLater(void* param) {
        auto* self = static_cast<SilentListener*>(param);
        WaitForSingleObject(self->done_, self->lifetimeMs_);
        closesocket(self->socket_);
        return 0;
    }
    DWORD lifetimeMs_;
    SOCKET socket_;
    uint16_t port_ = 0;
    HANDLE done_, closer_;
};

struct StopLater {
    HttpDownloader* downloader;
    DWORD delayMs;
};
DWORD __stdcall stopAfterDelay(void* param) {
    auto* later = static_cast<StopLater*>(param);
    Sleep(later->delayMs);
    later->downloader->stop();
    return 0;
}

}  // namespace

// A download always ends: a server that stops sending, never answers or
// redirects for ever, and a stop while a read waits for data.
TEST_F(Download, EndsOnStallsRedirectLoopsAndStops) {
    constexpr uint32_t kShortStallMs = 2000;  // room for a slow open on a busy machine
    constexpr uint32_t kNoStop = 0, kStopAfterMs = 500;
    constexpr uint32_t kLongWaitMs = 10000;  // what the servers hold back
    constexpr DWORD kWithinMs = 6000;        // each case ends well before the held-back data comes
    const std::string stalled = faultUrl("/stall/30000?after=1000&seconds=" + std::to_string(kLongWaitMs / 1000));
    SilentListener silent(kLongWaitMs);  // its case comes first: the lifetime starts now
    struct Case {
        const char* name;
        std::string url;
        uint32_t stallMs, stopAfterMs;
        int32_t result;
        size_t loopRequests;  // requests of /loop the server saw
        size_t patternBytes;  // the file then holds that many pattern bytes
    };
    const Case cases[] = {
        {"headers never come", silent.url(), kShortStallMs, kNoStop, kDownloadUrlNotOpened, 0, 0},
        {"stalled body", stalled, kShortStallMs, kNoStop, kDownloadReadError, 0, 0},
        {"stop while a read waits", stalled, kDownloadStallMs, kStopAfterMs, kDownloadStopped, 0, 0},
        {"redirect loop", faultUrl("/loop"), kShortStallMs, kNoStop, kDownloadUrlNotOpened, kDownloadMaxRedirects + 1,
         0},
        {"one relative redirect", faultUrl("/redirect?to=file/50000"), kShortStallMs, kNoStop, kDownloadDone, 0, 50000},
    };
    const uint32_t savedStall = downloadSystem().stallMs;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        downloadSystem().stallMs = c.stallMs;
        takeFaultRequests();
        HttpDownloader downloader;
        StopLater later{&downloader, c.stopAfterMs};
        HANDLE stopper = c.stopAfterMs ? CreateThread(nullptr, 0, stopAfterDelay, &later, 0, nullptr) : nullptr;
        DWORD start = GetTickCount();
        int32_t result = run(c.url, {}, &downloader);
        DWORD took = GetTickCount() - start;
        if (stopper) {
            WaitForSingleObject(stopper, INFINITE);
            CloseHandle(stopper);
        }
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(message(), testing_support::gbkToUtf8(downloadMessage(c.result)));
        EXPECT_LT(took, kWithinMs);
        EXPECT_EQ(countOf(takeFaultRequests(), "\"GET /loop "), c.loopRequests);
        if (c.patternBytes) {
            EXPECT_TRUE(local() == patternBytes(0, c.patternBytes)) << local().size() << " bytes";
        }
    }
    downloadSystem().stallMs = savedStall;
}

TEST(DownloaderObject, CopyKeepsOperationsAndFlag) {
    HttpDownloader original;
    original.running = 1;
    HttpDownloader* copy = original.ops->copy(&original);
    EXPECT_EQ(copy->ops, &kHttpDownloaderOps);
    EXPECT_EQ(copy->running, 1);
    copy->stop();
    EXPECT_EQ(copy->running, 0);
    EXPECT_EQ(original.running, 1);
    original.ops->destroy(copy);
    rt::rtFree(copy);
}
