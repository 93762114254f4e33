/* start_timed: for each line on the standard input (a program's path) starts
   that program, waits for it to end and prints the moment its process was
   created (microseconds since 1970, the clock on which the test updater
   records its own creation) and its exit code. For scripts/bench-startup:
   both ends of the measured interval are the system's creation times, taken
   the same way. Running all starts from one process that holds the desktop
   keeps Wine's desktop process alive between them: otherwise it would come
   and go between starts, and some starts would wait for it. */
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

static long long microseconds(FILETIME time) {
    ULARGE_INTEGER ticks;
    ticks.LowPart = time.dwLowDateTime;
    ticks.HighPart = time.dwHighDateTime;
    return (long long)((ticks.QuadPart - 116444736000000000ULL) / 10);
}

int wmain(void) {
    char line[1024];
    wchar_t program[1024];
    GetDesktopWindow();
    while (fgets(line, sizeof line, stdin)) {
        STARTUPINFOW startup;
        PROCESS_INFORMATION process;
        FILETIME created, exited, kernel, user;
        DWORD code = 0;
        line[strcspn(line, "\r\n")] = 0;
        if (!*line) continue;
        if (!MultiByteToWideChar(CP_UTF8, 0, line, -1, program, 1024)) return 2;
        ZeroMemory(&startup, sizeof startup);
        startup.cb = sizeof startup;
        if (!CreateProcessW(program, NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) return 3;
        if (!GetProcessTimes(process.hProcess, &created, &exited, &kernel, &user)) return 4;
        if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 0xDEAD);
            return 5;
        }
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        printf("%lld %lu\n", microseconds(created), code);
        fflush(stdout);
    }
    return 0;
}
