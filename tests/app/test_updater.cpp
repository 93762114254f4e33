// Stands in for the product's updater in end-to-end tests and the demo: it
// records how it was launched (command line, current directory, requested
// window state, its own path and size, when its process was created) as one
// JSON line and exits.
// The log is PELMORA_LAUNCH_LOG when set, else "launches.log" beside itself.
// With PELMORA_UPDATER_LINGER_MS it stays that long before it ends (the demo
// uses it so the launching program's last state stays on screen a moment).
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/support/msgbox_watch.h"

namespace {

// When this process was created, in microseconds since 1970: the moment the
// launching program's CreateProcess made it, before this image even loaded
// (scripts/bench-startup measures the launch against it).
long long createdMicroseconds() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    ULARGE_INTEGER ticks{};
    ticks.LowPart = created.dwLowDateTime;
    ticks.HighPart = created.dwHighDateTime;
    return static_cast<long long>((ticks.QuadPart - 116444736000000000ULL) / 10);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    wchar_t self[MAX_PATH] = {}, cwd[MAX_PATH] = {}, logPath[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    GetCurrentDirectoryW(MAX_PATH, cwd);
    if (!GetEnvironmentVariableW(L"PELMORA_LAUNCH_LOG", logPath, MAX_PATH)) {
        std::wstring path = self;
        path = path.substr(0, path.rfind(L'\\') + 1) + L"launches.log";
        lstrcpynW(logPath, path.c_str(), MAX_PATH);
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    int showWindow = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

    LARGE_INTEGER size{};
    HANDLE file = CreateFileW(self, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        GetFileSizeEx(file, &size);
        CloseHandle(file);
    }

    std::string line = "{\"commandLine\": " + testing_support::jsonString(testing_support::narrowUtf8(GetCommandLineW())) + ", \"cwd\": " + testing_support::jsonString(testing_support::narrowUtf8(cwd)) +
                       ", \"showWindow\": " + std::to_string(showWindow) + ", \"path\": " + testing_support::jsonString(testing_support::narrowUtf8(self)) +
                       ", \"size\": " + std::to_string(size.QuadPart) +
                       ", \"createdUs\": " + std::to_string(createdMicroseconds()) + "}\n";
    if (FILE* log = _wfopen(logPath, L"ab")) {
        std::fwrite(line.data(), 1, line.size(), log);
        std::fclose(log);
    }
    wchar_t linger[16] = {};
    if (GetEnvironmentVariableW(L"PELMORA_UPDATER_LINGER_MS", linger, 16)) Sleep(static_cast<DWORD>(_wtoi(linger)));
    return 0;
}
