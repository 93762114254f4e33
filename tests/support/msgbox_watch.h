// Runs a program of the build and watches for its message boxes: each one's
// caption and text are recorded (UTF-8) and its default button is pressed,
// so tests can assert exact texts and exit codes of programs that show them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/support/msgbox_watch_panel.h"

namespace testing_support {

struct MessageBoxRecord {
    std::string caption;  // UTF-8
    std::string text;     // UTF-8
};

struct WatchedRun {
    bool started = false;
    bool timedOut = false;   // the program was killed after the time limit
    DWORD exitCode = 0;
    std::vector<MessageBoxRecord> boxes;
    // Successive distinct texts of the watched child windows (see WatchOptions).
    std::vector<std::string> labelTexts;  // UTF-8
    bool closeRequested = false;
};

struct WatchOptions {
    DWORD timeoutMs = 60000;
    std::string currentDirectory;   // UTF-8; empty: the caller's
    std::string recordFile;         // UTF-8; message boxes as JSON lines
    // Window class of child windows whose text is sampled while the program
    // runs (the status label, say); empty: none. Each change is recorded
    // once, in order, also to labelFile as JSON lines {"ms": t, "text": "..."}.
    std::string labelClass;
    std::string labelFile;
    // When a sampled label text contains this (UTF-8), ask the program's
    // top-level windows to close (WM_CLOSE), as the user's close button does.
    std::string closeOnLabel;
    // This long after the start, send WM_CLOSE to every top-level window of
    // the program, hidden ones included, as `taskkill` without /f does.
    DWORD closeAfterMs = INFINITE;
    // Window class of a child window on which the program draws a bar (a
    // draw panel, say); empty: none. Its client area is read from the screen
    // while the program runs, and each change is written to panelFile as a
    // JSON line (see panelJson): the extent of panelFill and, with glyphs in
    // panelText, the text written at its origin.
    std::string panelClass;
    std::string panelFile;
    COLORREF panelFill = 0;
    PanelTextLayout panelText;
    // How long a message box stays up, from the moment it was seen, before
    // its default button is pressed (long enough to be photographed, say).
    DWORD boxDelayMs = 0;
};

// commandLine is UTF-8. recordFile (optional) receives one JSON object per
// line: {"caption": "...", "text": "..."}.
WatchedRun runWatched(const std::string& commandLine, DWORD timeoutMs = 60000,
                      const std::string& currentDirectory = {}, const std::string& recordFile = {});
WatchedRun runWatched(const std::string& commandLine, const WatchOptions& options);

// The directory of the running test program (with trailing backslash), UTF-8.
std::string programDirectory();

std::wstring widen(const std::string& utf8);
std::string narrowUtf8(const std::wstring& wide);
// Code page 936 <-> UTF-8, for comparing runtime texts with UTF-8 literals.
std::string gbkToUtf8(const std::string& gbk);
std::string utf8ToGbk(const std::string& utf8);
// A JSON string literal of `text` (quotes and control characters escaped).
std::string jsonString(const std::string& text);

// A UTF-8 literal as a plain string (narrow literals are code page 936 here).
inline std::string u8s(std::u8string_view text) { return std::string(text.begin(), text.end()); }

}  // namespace testing_support
