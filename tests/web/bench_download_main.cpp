// One measured transfer for scripts/bench-download: `download` (driving the
// application's own progress callback), or a bare WinINet loop with the same
// 10240-byte buffer and the same file writes. Prints "seconds bytes
// peak-working-set cpu-seconds" (the process's user and kernel time).
//   bench_download.exe download|bare URL TARGET
#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/update_flow.h"
#include "runtime/dll_commands.h"
#include "runtime/library_info.h"
#include "runtime/runtime_app.h"
#include "web/http_downloader.h"
#include "runtime/heap.h"

// The application's update server is never asked here, nor its key used.
namespace app {
extern const char kUpdateBaseUrl[] = "";
extern const uint8_t* const kUpdatePublicKey = nullptr;
}

namespace {

rt::RuntimeApp gRuntime;

int64_t bareLoop(const char* url, const char* target) {
    HINTERNET session = InternetOpenA("Agent", INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY, nullptr, nullptr, 0);
    if (!session) return -1;
    HINTERNET request = InternetOpenUrlA(session, url, nullptr, 0, 0x84000100, 0);
    HANDLE file = CreateFileA(target, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    int64_t total = -1;
    if (request && file != INVALID_HANDLE_VALUE) {
        std::vector<char> buffer(10240, 0);
        total = 0;
        DWORD read = 0, written = 0;
        while (InternetReadFile(request, buffer.data(), 10240, &read) && read) {
            WriteFile(file, buffer.data(), read, &written, nullptr);
            total += read;
        }
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    InternetCloseHandle(session);
    return total;
}

int64_t viaDownload(const char* url, const char* target) {
    web::HttpDownloader downloader;
    char* urlText = rt::makeText(url);
    char* pathText = rt::makeText(target);
    int32_t result = downloader.download(&urlText, &pathText, &app::OnDownloadProgress);
    rt::rtFree(urlText);
    rt::rtFree(pathText);
    if (result != web::kDownloadDone) return -1;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(target, GetFileExInfoStandard, &data)) return -1;
    return (int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_download download|bare URL TARGET\n");
        return 2;
    }
    rt::RuntimeApp::instance().runtimeInit();
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int64_t bytes;
    if (std::strcmp(argv[1], "bare") == 0) {
        bytes = bareLoop(argv[2], argv[3]);
    } else {
        bytes = viaDownload(argv[2], argv[3]);
    }
    QueryPerformanceCounter(&end);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto hundredNs = [](const FILETIME& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    double cpuSeconds = double(hundredNs(kernel) + hundredNs(user)) / 1e7;
    std::printf("%.6f %lld %lu %.3f\n", seconds, static_cast<long long>(bytes),
                static_cast<unsigned long>(memory.PeakWorkingSetSize), cpuSeconds);
    return bytes < 0 ? 1 : 0;
}
