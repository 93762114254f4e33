// The system calls of the file commands, in one table so tests can make
// them fail or return short.
#pragma once

#include <windows.h>

namespace rt {

struct FileSystemCalls {
    HANDLE(WINAPI* createFile)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    BOOL(WINAPI* readFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* writeFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
};
FileSystemCalls& fileSystemCalls();

}  // namespace rt
