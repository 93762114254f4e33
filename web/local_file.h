// The download's target file: one handle, closed when the owner goes.
#pragma once

#include <windows.h>

#include <cstdint>

namespace web {

// The length of the file at `path`; -1 when there is none (or a directory).
int64_t fileLength(const char* path);

class LocalFile {
public:
    enum class Mode { CreateOrTruncate, OpenOrCreateKeep };

    LocalFile() = default;
    ~LocalFile() { close(); }
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    // Write only, sharing nothing denied, no line-end translation.
    bool open(const char* path, Mode mode);
    bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool seekToEnd();
    bool write(const void* data, uint32_t size);
    // The file's length now; -1 when it isn't open.
    int64_t size() const;
    void close();

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace web
