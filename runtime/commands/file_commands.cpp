// File commands. A file number is the system handle of the opened file,
// registered with the runtime's open-file registry until it is closed, so
// shutdown closes what the application left open.
#include <windows.h>

#include <string_view>

#include "runtime/address_word.h"
#include "runtime/commands/builtin_commands.h"
#include "runtime/commands/command_support.h"
#include "runtime/commands/file_system_calls.h"
#include "runtime/heap.h"
#include "runtime/runtime_app.h"
#include "runtime/service_request.h"

namespace rt {

using namespace command_support;

namespace {

FileSystemCalls gCalls = {&CreateFileA, &ReadFile, &WriteFile};

// An opened file until it is handed to the registry.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (valid()) CloseHandle(handle_);
    }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }
    HANDLE release() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }

private:
    HANDLE handle_;
};

// The handle of a registered file number, or null.
HANDLE openFileHandle(int32_t number) {
    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(static_cast<uint32_t>(number)));
    if (!handle || requestService(kSvcOpenFileMode, number, 0) < 0) return nullptr;
    return handle;
}

void closeRegisteredFile(void* file) { CloseHandle(static_cast<HANDLE>(file)); }

struct CloserInstaller {
    CloserInstaller() { setOpenFileCloser(&closeRegisteredFile); }
};
CloserInstaller gCloserInstaller;

bool writeAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!gCalls.writeFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

FileSystemCalls& fileSystemCalls() { return gCalls; }

void fileExists(DataCell* result, int32_t count, DataCell* args) {
    const char* path = textArg(count, args, 0);
    WIN32_FIND_DATAA data;
    HANDLE search = *path ? FindFirstFileA(path, &data) : INVALID_HANDLE_VALUE;
    result->setBool(search != INVALID_HANDLE_VALUE);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

void readFile(DataCell* result, int32_t count, DataCell* args) {
    result->setByteSet(nullptr);
    const char* path = textArg(count, args, 0);
    if (!*path) return;
    FileHandle file(gCalls.createFile(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file.valid()) return;
    LARGE_INTEGER size{};
    // A byte set's length is 32 bits and the block needs 8 more bytes.
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > 0x7FFFFFF0LL) return;
    auto length = static_cast<uint32_t>(size.QuadPart);
    auto block = static_cast<uint8_t*>(rtTryAlloc(8 + length));
    if (!block) return;
    uint32_t done = 0;
    while (done < length) {
        DWORD got = 0;
        if (!gCalls.readFile(file.get(), block + 8 + done, length - done, &got, nullptr) || got == 0) break;
        done += got;
    }
    if (done == 0) {
        rtFree(block);
        return;
    }
    if (done < length) block = static_cast<uint8_t*>(rtRealloc(block, 8 + done));
    reinterpret_cast<uint32_t*>(block)[0] = 1;
    reinterpret_cast<uint32_t*>(block)[1] = done;
    result->setByteSet(block);
}

void openFile(DataCell* result, int32_t count, DataCell* args) {
    static const DWORD kAccess[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE,
                                    GENERIC_WRITE, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    static const DWORD kDisposition[] = {OPEN_EXISTING, OPEN_EXISTING, OPEN_EXISTING,
                                         CREATE_ALWAYS, OPEN_ALWAYS,   OPEN_ALWAYS};
    static const DWORD kShare[] = {FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_SHARE_WRITE, FILE_SHARE_READ, 0};
    result->setInt(0);
    const char* path = textArg(count, args, 0);
    int32_t mode = intArg(count, args, 1, 3), sharing = intArg(count, args, 2, 1);
    if (!*path || mode < 1 || mode > 6 || sharing < 1 || sharing > 4) return;
    FileHandle file(gCalls.createFile(path, kAccess[mode - 1], kShare[sharing - 1], nullptr, kDisposition[mode - 1],
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return;
    HANDLE handle = file.release();
    requestService(kSvcRegisterOpenFile, signedWordOf(handle), mode);
    result->setInt(signedWordOf(handle));
}

void closeFile(DataCell* result, int32_t count, DataCell* args) {
    int32_t number = intArg(count, args, 0);
    // Only a registered file is ours to close.
    if (number && requestService(kSvcUnregisterOpenFile, number, 0))
        CloseHandle(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(static_cast<uint32_t>(number))));
}

void seekToEnd(DataCell* result, int32_t count, DataCell* args) {
    HANDLE file = openFileHandle(intArg(count, args, 0));
    LARGE_INTEGER zero{};
    result->setBool(file && SetFilePointerEx(file, zero, nullptr, FILE_END));
}

void writeBytes(DataCell* result, int32_t count, DataCell* args) {
    result->setBool(false);
    HANDLE file = openFileHandle(intArg(count, args, 0));
    if (!file) return;
    LARGE_INTEGER zero{}, before{};
    if (!SetFilePointerEx(file, zero, &before, FILE_CURRENT)) return;
    for (int32_t i = 1; i < count; ++i) {
        if (!writeAll(file, byteSetView(count, args, i))) {
            SetFilePointerEx(file, before, nullptr, FILE_BEGIN);
            return;
        }
    }
    result->setBool(true);
}

}  // namespace rt
