// Finding, unpacking, loading and binding the server-suite module.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace suite {

// How the module was obtained.
enum class SuiteModuleKind : int32_t {
    kFromMemory = 0,    // mapped from memory (no loading step produces it)
    kWrittenFile = 1,   // a file the bridge wrote: deleted once released
    kExistingFile = 2,  // a file that was already there: only released
};

// The process's one module: released (and its file deleted when the bridge
// wrote it) when the process ends normally.
class SuiteModule {
public:
    SuiteModule() = default;
    ~SuiteModule() { unload(); }
    SuiteModule(const SuiteModule&) = delete;
    SuiteModule& operator=(const SuiteModule&) = delete;

    void adopt(HMODULE handle, SuiteModuleKind kind, std::string path);
    void unload();

    bool loaded() const { return loaded_; }
    HMODULE handle() const { return handle_; }
    SuiteModuleKind kind() const { return kind_; }
    const std::string& path() const { return path_; }

private:
    HMODULE handle_ = nullptr;
    SuiteModuleKind kind_ = SuiteModuleKind::kFromMemory;
    std::string path_;
    bool loaded_ = false;
};

SuiteModule& suiteModule();

// Binds the forwarding table to the module, or shows why it can't and ends
// the process with exit code 0. Runs once; later calls return at once.
void loadSuiteModule();

}  // namespace suite
