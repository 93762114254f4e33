// msgbox_watch RECORD-FILE PROGRAM [ARGS...]: runs the program, records its
// message boxes to RECORD-FILE (JSON lines, UTF-8), presses their default
// buttons and exits with the program's exit code.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/support/msgbox_watch.h"

using namespace testing_support;

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: msgbox_watch RECORD-FILE PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    std::wstring line;
    for (int i = 2; i < argc; ++i) {
        if (i > 2) line += L' ';
        line += L'"';
        line += argv[i];
        line += L'"';
    }
    WatchedRun run = runWatched(narrowUtf8(line), INFINITE, {}, narrowUtf8(argv[1]));
    if (!run.started) {
        std::fputs("msgbox_watch: cannot start the program\n", stderr);
        return 2;
    }
    return static_cast<int>(run.exitCode);
}
