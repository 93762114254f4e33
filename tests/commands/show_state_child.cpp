// Started by runProgram in the tests: records the window state it was
// asked for (its startup record) into the file named on its command line,
// after an optional pause ("show_state_child OUTFILE [PAUSE_MS]").
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 2) return 2;
    if (argc > 2) Sleep(static_cast<DWORD>(_wtoi(argv[2])));
    STARTUPINFOA startup{};
    GetStartupInfoA(&startup);
    FILE* out = _wfopen(argv[1], L"wb");
    if (!out) return 3;
    std::fprintf(out, "flags=%lu show=%u", startup.dwFlags & STARTF_USESHOWWINDOW, startup.wShowWindow);
    std::fclose(out);
    return 0;
}
