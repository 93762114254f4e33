#include "suite/module_file.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace suite {

namespace {

// Owns one file handle.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (valid()) CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

bool writeAll(HANDLE file, const std::vector<uint8_t>& content) {
    size_t done = 0;
    while (done < content.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, content.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return FlushFileBuffers(file) != 0;
}

}  // namespace

bool fileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool fileHasContent(const std::string& path, const std::vector<uint8_t>& content) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || static_cast<uint64_t>(size.QuadPart) != content.size()) return false;
    std::vector<uint8_t> buffer(1u << 20);
    size_t offset = 0;
    while (offset < content.size()) {
        DWORD want = static_cast<DWORD>(std::min(buffer.size(), content.size() - offset)), got = 0;
        if (!ReadFile(file.get(), buffer.data(), want, &got, nullptr) || got == 0) return false;
        if (std::memcmp(buffer.data(), content.data() + offset, got) != 0) return false;
        offset += got;
    }
    return true;
}

bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& content) {
    std::string partial = path + "." + std::to_string(GetCurrentProcessId()) + ".part";
    bool written;
    {
        FileHandle file(CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) return false;
        written = writeAll(file.get(), content);
    }
    if (!written) {
        DeleteFileA(partial.c_str());
        return false;
    }
    if (!MoveFileExA(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(partial.c_str());
        return false;
    }
    return true;
}

}  // namespace suite
