#include "suite/suite_module.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "runtime/service_request.h"
#include "suite/forward_table.h"
#include "suite/module_file.h"
#include "suite/module_image.h"

namespace suite {

namespace {

constexpr char kSuiteVersion[] = "2.7.2";

struct LoadFailure {
    std::string reason;
    std::string solution;
};

std::string coreFileName() { return std::string("SrvKitCore.") + kSuiteVersion + ".dll"; }

std::string joinPath(const std::string& directory, const std::string& name) { return directory + "\\" + name; }

std::string currentDirectory() {
    char buffer[MAX_PATH + 1] = {};
    DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
    return n && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

std::string temporaryDirectory() {
    char buffer[MAX_PATH + 1] = {};
    DWORD n = GetTempPathA(sizeof buffer, buffer);
    return n && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

// The hand-over variable of this process named by format, at most 23 characters.
std::string handOverVariable(const char* format) {
    char name[32];
    std::snprintf(name, sizeof name, format, static_cast<int>(GetCurrentProcessId()));
    char value[24] = {};
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n && n < sizeof value ? std::string(value, n) : std::string();
}

bool endsWithIgnoringCase(const std::string& text, const char* tail) {
    size_t n = std::strlen(tail);
    return text.size() >= n && lstrcmpiA(text.c_str() + text.size() - n, tail) == 0;
}

// An earlier load in this process left the module's two functions in the
// hand-over variables; a program named "ide.exe" never takes them.
bool takeHandOver() {
    std::string notify = handOverVariable("sk_pnl_%d");
    if (notify.empty()) return false;
    char path[MAX_PATH + 1] = {};
    std::string program(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    if (program.size() <= 5 || endsWithIgnoringCase(program, "/ide.exe") || endsWithIgnoringCase(program, "\\ide.exe"))
        return false;
    std::string getLibInfo = handOverVariable("sk_gli_%d");
    bindForwardTable(reinterpret_cast<rt::LibraryNotify>(std::strtoul(notify.c_str(), nullptr, 10)),
                     reinterpret_cast<GetLibInfoFunction>(std::strtoul(getLibInfo.c_str(), nullptr, 10)));
    return true;
}

LoadFailure loadFailed(const std::string& path, const char* solution) {
    return {"加载SrvKit库失败！\r\n[路径] " + path, solution};
}

// The files a user may have placed in the current directory, in order.
HMODULE loadPlacedFile(const std::string& directory, LoadFailure& failure) {
    const std::string names[] = {coreFileName(), "SrvKit.dll", "SrvKit.slib"};
    for (const std::string& name : names) {
        std::string path = joinPath(directory, name);
        if (!fileExists(path)) continue;
        if (HMODULE module = LoadLibraryA(path.c_str())) {
            suiteModule().adopt(module, SuiteModuleKind::kExistingFile, path);
            return module;
        }
        failure = loadFailed(path, "重新拷贝 SrvKit.dll/SrvKit.slib 到运行目录");
    }
    return nullptr;
}

// A copy left in the temporary directory by an earlier run is loaded only
// when it is the carried image byte for byte: a truncated or replaced copy
// is written over instead.
HMODULE loadLeftover(const std::string& path, const std::optional<std::vector<uint8_t>>& image,
                     LoadFailure& failure) {
    if (!fileExists(path)) return nullptr;
    if (image && !fileHasContent(path, *image)) return nullptr;
    if (HMODULE module = LoadLibraryA(path.c_str())) {
        suiteModule().adopt(module, SuiteModuleKind::kExistingFile, path);
        return module;
    }
    failure = loadFailed(path, "清空系统临时目录");
    return nullptr;
}

HMODULE unpackAndLoad(const std::string& tempPath, const std::string& directory,
                      const std::optional<std::vector<uint8_t>>& image, LoadFailure& failure) {
    if (!image) {
        failure = {"无法从资源文件中加载SrvKit库！",
                   "请确认编译后的程序中包含SrvKit模块资源，或者拷贝 SrvKit.dll/SrvKit.slib 到程序所在目录"};
        return nullptr;
    }
    std::string path = tempPath;
    bool written = writeFileAtomically(path, *image);
    if (!written) {
        path = joinPath(directory, coreFileName());
        written = writeFileAtomically(path, *image);
    }
    if (HMODULE module = written ? LoadLibraryA(path.c_str()) : nullptr) {
        suiteModule().adopt(module, SuiteModuleKind::kWrittenFile, path);
        return module;
    }
    if (written) DeleteFileA(path.c_str());
    failure = {"无法释放框架到临时目录！\r\n[路径] " + path,
               "\r\n  [1] 请检查系统盘磁盘空间是否已满(至少需要16MB硬盘空间)\r\n  [2] 请以管理员身份运行本程序\r\n"
               "  [3] 如果以上方式都无效，请拷贝 SrvKit.dll/SrvKit.slib 到运行目录"};
    return nullptr;
}

[[noreturn]] void failAndEnd(const LoadFailure& failure) {
    std::string text = std::string("====================================\r\n= SrvKit") + kSuiteVersion +
                       " 加载失败\r\n====================================\r\n[原因] " + failure.reason +
                       "\r\n[解决] " + failure.solution;
    MessageBoxA(nullptr, text.c_str(), "[SrvKit] 载入失败", MB_OK);
    rt::serviceTable().endProgram(0);
    ExitProcess(0);
}

}  // namespace

void SuiteModule::adopt(HMODULE handle, SuiteModuleKind kind, std::string path) {
    unload();
    handle_ = handle;
    kind_ = kind;
    path_ = std::move(path);
    loaded_ = true;
}

void SuiteModule::unload() {
    if (!loaded_) return;
    // Nothing maps a module from memory here, so every handle is the loader's.
    if (handle_) FreeLibrary(handle_);
    if (kind_ == SuiteModuleKind::kWrittenFile) DeleteFileA(path_.c_str());
    handle_ = nullptr;
    kind_ = SuiteModuleKind::kFromMemory;
    path_.clear();
    loaded_ = false;
}

SuiteModule& suiteModule() {
    static SuiteModule holder;
    return holder;
}

void loadSuiteModule() {
    static bool attempted = false;
    if (suiteForwardTable().bound || attempted) return;
    attempted = true;
    if (takeHandOver()) return;

    LoadFailure failure;
    std::string directory = currentDirectory();
    HMODULE module = loadPlacedFile(directory, failure);
    if (!module) {
        std::optional<std::vector<uint8_t>> image = embeddedModuleImage();
        std::string tempPath = temporaryDirectory() + coreFileName();
        module = loadLeftover(tempPath, image, failure);
        if (!module) module = unpackAndLoad(tempPath, directory, image, failure);
    }
    if (!module) failAndEnd(failure);
    bindForwardTable(reinterpret_cast<rt::LibraryNotify>(reinterpret_cast<void*>(GetProcAddress(module, "srvkit_ProcessNotifyLib"))),
                     reinterpret_cast<GetLibInfoFunction>(reinterpret_cast<void*>(GetProcAddress(module, "GetLibInfo"))));
}

}  // namespace suite
