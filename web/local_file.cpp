#include "web/local_file.h"

#include "web/http_downloader.h"

namespace web {

int64_t fileLength(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!path || !GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool LocalFile::open(const char* path, Mode mode) {
    close();
    if (!path || !*path) return false;
    DWORD disposition = mode == Mode::CreateOrTruncate ? CREATE_ALWAYS : OPEN_ALWAYS;
    handle_ = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    return isOpen();
}

bool LocalFile::seekToEnd() {
    LARGE_INTEGER zero{};
    return isOpen() && SetFilePointerEx(handle_, zero, nullptr, FILE_END);
}

bool LocalFile::write(const void* data, uint32_t size) {
    unsigned long written = 0;
    return isOpen() && downloadSystem().writeFile(handle_, data, size, &written, nullptr) && written == size;
}

int64_t LocalFile::size() const {
    LARGE_INTEGER length{};
    return isOpen() && GetFileSizeEx(handle_, &length) ? length.QuadPart : -1;
}

void LocalFile::close() {
    if (isOpen()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

}  // namespace web
