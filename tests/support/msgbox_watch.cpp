#include "tests/support/msgbox_watch.h"

#include <cstdio>
#include <set>

namespace testing_support {

namespace {

std::string convert(const std::string& text, UINT from, UINT to) {
    if (text.empty()) return {};
    int wideLength = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(), wideLength);
    int length = WideCharToMultiByte(to, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(to, 0, wide.data(), wideLength, out.data(), length, nullptr, nullptr);
    return out;
}

std::wstring windowText(HWND hwnd) {
    int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(wcslen(text.c_str()));
    return text;
}

struct Scan {
    DWORD processId;
    std::set<HWND>* handled;
    std::vector<HWND> found;     // new message boxes
    std::vector<HWND> windows;   // every top-level window of the process
};

BOOL CALLBACK collectDialogs(HWND hwnd, LPARAM param) {
    auto scan = reinterpret_cast<Scan*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    wchar_t className[16] = {};
    GetClassNameW(hwnd, className, 16);
    if (owner != scan->processId) return TRUE;
    scan->windows.push_back(hwnd);
    if (wcscmp(className, L"#32770") == 0 && IsWindowVisible(hwnd) && !scan->handled->count(hwnd))
        scan->found.push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK findMessageText(HWND child, LPARAM param) {
    wchar_t className[16] = {};
    GetClassNameW(child, className, 16);
    if (_wcsicmp(className, L"Static") == 0) {
        std::wstring text = windowText(child);
        if (!text.empty()) {
            *reinterpret_cast<std::wstring*>(param) = text;
            return FALSE;
        }
    }
    return TRUE;
}

struct LabelSearch {
    std::wstring className;
    std::vector<std::wstring> texts;
};

BOOL CALLBACK collectLabelTexts(HWND child, LPARAM param) {
    auto search = reinterpret_cast<LabelSearch*>(param);
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    if (search->className == className) search->texts.push_back(windowText(child));
    return TRUE;
}

struct ClassSearch {
    std::wstring className;
    std::vector<HWND> found;
};

BOOL CALLBACK collectChildrenOfClass(HWND child, LPARAM param) {
    auto search = reinterpret_cast<ClassSearch*>(param);
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    if (search->className == className) search->found.push_back(child);
    return TRUE;
}

// Reads the program's bar panels on every pass and writes each change of
// what they show as a JSON line; unchanged pixels are not read again.
class PanelSampler {
public:
    PanelSampler(const WatchOptions& options, DWORD start)
        : className_(widen(options.panelClass)), fill_(options.panelFill), text_(options.panelText), start_(start) {
        if (!className_.empty() && !options.panelFile.empty()) file_ = _wfopen(widen(options.panelFile).c_str(), L"ab");
    }
    ~PanelSampler() {
        if (file_) fclose(file_);
    }
    PanelSampler(const PanelSampler&) = delete;
    PanelSampler& operator=(const PanelSampler&) = delete;

    void sample(const std::vector<HWND>& windows) {
        if (!file_) return;
        ClassSearch search{className_, {}};
        for (HWND window : windows) EnumChildWindows(window, collectChildrenOfClass, reinterpret_cast<LPARAM>(&search));
        for (HWND panel : search.found) {
            std::optional<PanelImage> image = captureClient(panel);
            if (!image || image == lastImage_) continue;
            lastImage_ = std::move(image);
            PanelReading reading = readPanelImage(*lastImage_, fill_, text_);
            if (reading == lastReading_) continue;
            lastReading_ = reading;
            std::string json = panelJson(GetTickCount() - start_, reading);
            fwrite(json.data(), 1, json.size(), file_);
            fflush(file_);
        }
    }

private:
    std::wstring className_;
    COLORREF fill_;
    PanelTextLayout text_;
    DWORD start_;
    FILE* file_ = nullptr;
    std::optional<PanelImage> lastImage_;
    std::optional<PanelReading> lastReading_;
};

void pressDefaultButton(HWND dialog) {
    LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
    int id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
    HWND button = GetDlgItem(dialog, id);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// A message box seen and recorded, whose button is still to be pressed.
struct SeenBox {
    HWND dialog;
    DWORD seenAt;  // GetTickCount()
};

// Presses the default button of each box that has been up for `delayMs`,
// and forgets it; with no delay, every box at once.
void pressDueButtons(std::vector<SeenBox>& waiting, DWORD delayMs) {
    std::erase_if(waiting, [delayMs](const SeenBox& box) {
        if (GetTickCount() - box.seenAt < delayMs) return false;
        if (IsWindow(box.dialog)) pressDefaultButton(box.dialog);
        return true;
    });
}

}  // namespace

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), length);
    return out;
}

std::string narrowUtf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), length, nullptr,
                        nullptr);
    return out;
}

std::string gbkToUtf8(const std::string& gbk) { return convert(gbk, 936, CP_UTF8); }
std::string utf8ToGbk(const std::string& utf8) { return convert(utf8, CP_UTF8, 936); }

std::string programDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full = path;
    return narrowUtf8(full.substr(0, full.rfind(L'\\') + 1));
}

WatchedRun runWatched(const std::string& commandLine, DWORD timeoutMs, const std::string& currentDirectory,
                      const std::string& recordFile) {
    WatchOptions options;
    options.timeoutMs = timeoutMs;
    options.currentDirectory = currentDirectory;
    options.recordFile = recordFile;
    return runWatched(commandLine, options);
}

WatchedRun runWatched(const std::string& commandLine, const WatchOptions& options) {
    WatchedRun run;
    std::wstring line = widen(commandLine);
    std::wstring directory = widen(options.currentDirectory);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &process))
        return run;
    run.started = true;
    CloseHandle(process.hThread);

    FILE* record = options.recordFile.empty() ? nullptr : _wfopen(widen(options.recordFile).c_str(), L"ab");
    FILE* labels = options.labelFile.empty() ? nullptr : _wfopen(widen(options.labelFile).c_str(), L"ab");
    std::wstring labelClass = widen(options.labelClass);
    std::set<HWND> handled;
    std::vector<SeenBox> waiting;
    DWORD start = GetTickCount();
    PanelSampler panels(options, start);
    for (;;) {
        DWORD wait = WaitForSingleObject(process.hProcess, 10);
        Scan scan{process.dwProcessId, &handled, {}, {}};
        EnumWindows(collectDialogs, reinterpret_cast<LPARAM>(&scan));
        if (!labelClass.empty()) {
            LabelSearch search{labelClass, {}};
            for (HWND window : scan.windows) EnumChildWindows(window, collectLabelTexts, reinterpret_cast<LPARAM>(&search));
            for (const std::wstring& text : search.texts) {
                std::string utf8 = narrowUtf8(text);
                if (!run.labelTexts.empty() && run.labelTexts.back() == utf8) continue;
                run.labelTexts.push_back(utf8);
                if (!options.closeOnLabel.empty() && !run.closeRequested &&
                    utf8.find(options.closeOnLabel) != std::string::npos) {
                    for (HWND window : scan.windows) {
                        wchar_t windowClass[16] = {};
                        GetClassNameW(window, windowClass, 16);
                        if (IsWindowVisible(window) && wcscmp(windowClass, L"#32770") != 0)
                            PostMessageW(window, WM_CLOSE, 0, 0);
                    }
                    run.closeRequested = true;
                }
                if (labels) {
                    std::string json = "{\"ms\": " + std::to_string(GetTickCount() - start) +
                                       ", \"text\": " + jsonString(utf8) + "}\n";
                    fwrite(json.data(), 1, json.size(), labels);
                    fflush(labels);
                }
            }
        }
        panels.sample(scan.windows);
        if (options.closeAfterMs != INFINITE && !run.closeRequested && GetTickCount() - start >= options.closeAfterMs) {
            for (HWND window : scan.windows) PostMessageW(window, WM_CLOSE, 0, 0);
            run.closeRequested = true;
        }
        for (HWND dialog : scan.found) {
            std::wstring text;
            EnumChildWindows(dialog, findMessageText, reinterpret_cast<LPARAM>(&text));
            MessageBoxRecord box{narrowUtf8(windowText(dialog)), narrowUtf8(text)};
            if (record) {
                std::string json =
                    "{\"caption\": " + jsonString(box.caption) + ", \"text\": " + jsonString(box.text) + "}\n";
                fwrite(json.data(), 1, json.size(), record);
                fflush(record);
            }
            run.boxes.push_back(box);
            handled.insert(dialog);
            waiting.push_back({dialog, GetTickCount()});
        }
        pressDueButtons(waiting, options.boxDelayMs);
        if (wait == WAIT_OBJECT_0) break;
        if (options.timeoutMs != INFINITE && GetTickCount() - start > options.timeoutMs) {
            TerminateProcess(process.hProcess, 0xDEAD);
            WaitForSingleObject(process.hProcess, 5000);
            run.timedOut = true;
            break;
        }
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hProcess);
    if (record) fclose(record);
    if (labels) fclose(labels);
    return run;
}

}  // namespace testing_support
