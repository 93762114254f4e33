// msgbox_watch [--labels CLASS FILE] [--panel CLASS FILE FILL] [--panel-text X Y GLYPHS] [--close-on-label TEXT] [--close-after MS] [--box-delay MS] [--exit-code FILE] [--timeout MS] RECORD-FILE PROGRAM [ARGS...]
// Runs the program, records its message boxes to RECORD-FILE (JSON lines,
// UTF-8), presses their default buttons and exits with the program's exit
// code (0xDEAD after a time-out). With --labels, the texts of its child
// windows of that class are sampled and each change is written to FILE;
// with --panel, the client area of its child window of that class is read
// from the screen and each change is written to FILE: the extent of the
// colour FILL (hexadecimal 0x00BBGGRR) and, with --panel-text, the text
// written at X, Y in characters of GLYPHS; with --close-on-label, the
// program's windows are sent WM_CLOSE once a label shows TEXT; with
// --close-after, every top-level window of the program (hidden ones too) is
// sent WM_CLOSE MS milliseconds after its start;
// with --box-delay, each box stays up MS milliseconds before it is answered.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/support/msgbox_watch.h"

using namespace testing_support;

int wmain(int argc, wchar_t** argv) {
    WatchOptions options;
    options.timeoutMs = INFINITE;
    std::wstring exitCodeFile;
    int first = 1;
    for (;;) {
        if (first + 2 < argc && wcscmp(argv[first], L"--labels") == 0) {
            options.labelClass = narrowUtf8(argv[first + 1]);
            options.labelFile = narrowUtf8(argv[first + 2]);
            first += 3;
        } else if (first + 3 < argc && wcscmp(argv[first], L"--panel") == 0) {
            options.panelClass = narrowUtf8(argv[first + 1]);
            options.panelFile = narrowUtf8(argv[first + 2]);
            options.panelFill = static_cast<COLORREF>(wcstoul(argv[first + 3], nullptr, 16));
            first += 4;
        } else if (first + 3 < argc && wcscmp(argv[first], L"--panel-text") == 0) {
            options.panelText.origin = {_wtoi(argv[first + 1]), _wtoi(argv[first + 2])};
            options.panelText.glyphs = argv[first + 3];
            first += 4;
        } else if (first + 1 < argc && wcscmp(argv[first], L"--exit-code") == 0) {
            exitCodeFile = argv[first + 1];
            first += 2;
        } else if (first + 1 < argc && wcscmp(argv[first], L"--close-on-label") == 0) {
            options.closeOnLabel = narrowUtf8(argv[first + 1]);
            first += 2;
        } else if (first + 1 < argc && wcscmp(argv[first], L"--close-after") == 0) {
            options.closeAfterMs = static_cast<DWORD>(_wtoi(argv[first + 1]));
            first += 2;
        } else if (first + 1 < argc && wcscmp(argv[first], L"--box-delay") == 0) {
            options.boxDelayMs = static_cast<DWORD>(_wtoi(argv[first + 1]));
            first += 2;
        } else if (first + 1 < argc && wcscmp(argv[first], L"--timeout") == 0) {
            options.timeoutMs = static_cast<DWORD>(_wtoi(argv[first + 1]));
            first += 2;
        } else {
            break;
        }
    }
    if (argc - first < 2) {
        std::fputs("usage: msgbox_watch [--labels CLASS FILE] [--panel CLASS FILE FILL] [--panel-text X Y GLYPHS] [--close-on-label TEXT] [--close-after MS] [--box-delay MS] [--exit-code FILE] [--timeout MS] RECORD-FILE PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    options.recordFile = narrowUtf8(argv[first]);
    std::wstring line;
    for (int i = first + 1; i < argc; ++i) {
        if (i > first + 1) line += L' ';
        line += L'"';
        line += argv[i];
        line += L'"';
    }
    WatchedRun run = runWatched(narrowUtf8(line), options);
    if (!run.started) {
        std::fputs("msgbox_watch: cannot start the program\n", stderr);
        return 2;
    }
    // Wine hands only the low byte of the code to its caller; the file keeps
    // all 32 bits (and survives being run inside a virtual desktop).
    if (!exitCodeFile.empty()) {
        if (FILE* f = _wfopen(exitCodeFile.c_str(), L"wb")) {
            std::fprintf(f, "%ld\n", static_cast<long>(run.exitCode));
            std::fclose(f);
        }
    }
    return static_cast<int>(run.exitCode);
}
