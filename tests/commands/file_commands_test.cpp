// File commands on real files in the test's own directory.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>

#include "runtime/commands/file_system_calls.h"
#include "runtime/runtime_app.h"
#include "tests/commands/command_test_support.h"
#include "tests/support/msgbox_watch.h"

using namespace rt::cmd;

namespace {

std::string scratchPath(const std::string& name) {
    return testing_support::utf8ToGbk(testing_support::programDirectory()) + "scratch-" + name;
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(FileCommands, FileExists) {
    std::string path = scratchPath("exists.bin");
    writeFileBytes(path, "x");
    EXPECT_TRUE(fileExists(path.c_str()));
    DeleteFileA(path.c_str());
    EXPECT_FALSE(fileExists(path.c_str()));
    EXPECT_FALSE(fileExists(""));
}

TEST(FileCommands, ReadFileWholeOrEmpty) {
    std::string path = scratchPath("read.bin");
    std::string content("ab\0\r\ncd", 7);
    writeFileBytes(path, content);
    EXPECT_EQ(str(readFile(path.c_str())), content);  // no line-end translation
    writeFileBytes(path, "");
    EXPECT_EQ(readFile(path.c_str()), nullptr);
    EXPECT_EQ(readFile(""), nullptr);
    EXPECT_EQ(readFile(scratchPath("missing.bin").c_str()), nullptr);
    DeleteFileA(path.c_str());
}

TEST(FileCommands, ReadFileDeniesWritersWhileReadingButAllowsReaders) {
    // readFile denies writers: a file someone holds open for writing can't
    // be read, one held open for reading can.
    std::string path = scratchPath("locked.bin");
    writeFileBytes(path, "data");
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(readFile(path.c_str()), nullptr);
    CloseHandle(writer);
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(str(readFile(path.c_str())), "data");
    CloseHandle(reader);
    DeleteFileA(path.c_str());
}

TEST(FileCommands, OpenFileModes) {
    std::string path = scratchPath("modes.bin");
    DeleteFileA(path.c_str());
    // Modes 1 to 3 need an existing file.
    EXPECT_EQ(openFile(path.c_str(), 1), 0);
    EXPECT_EQ(openFile(path.c_str()), 0);
    // 5: open or create, contents kept.
    int32_t file = openFile(path.c_str(), 5);
    ASSERT_NE(file, 0);
    Bytes abc("abc");
    EXPECT_TRUE(writeBytes(file, abc.get()));
    closeFile(file);
    file = openFile(path.c_str(), 5);
    ASSERT_NE(file, 0);
    EXPECT_TRUE(seekToEnd(file));
    Bytes de("de");
    EXPECT_TRUE(writeBytes(file, de.get(), nullptr, abc.get()));  // empty byte sets are skipped
    closeFile(file);
    EXPECT_EQ(fileBytes(path), "abcdeabc");
    // 4: create or truncate.
    file = openFile(path.c_str(), 4);
    ASSERT_NE(file, 0);
    closeFile(file);
    EXPECT_EQ(fileBytes(path), "");
    // 1: read only, writing fails.
    file = openFile(path.c_str(), 1);
    ASSERT_NE(file, 0);
    EXPECT_FALSE(writeBytes(file, abc.get()));
    closeFile(file);
    DeleteFileA(path.c_str());
}

TEST(FileCommands, OpenFileRejectsBadArgumentsWithoutTouchingTheFileSystem) {
    std::string path = scratchPath("rejected.bin");
    DeleteFileA(path.c_str());
    EXPECT_EQ(openFile("", 4), 0);
    EXPECT_EQ(openFile(path.c_str(), 7), 0);
    EXPECT_EQ(openFile(path.c_str(), 0), 0);
    EXPECT_EQ(openFile(path.c_str(), 4, 5), 0);
    EXPECT_EQ(openFile(path.c_str(), 4, 0), 0);
    EXPECT_FALSE(fileExists(path.c_str()));
}

TEST(FileCommands, SharingModes) {
    std::string path = scratchPath("sharing.bin");
    writeFileBytes(path, "x");
    auto canOpen = [&](DWORD access) {
        HANDLE other = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                   nullptr);
        if (other == INVALID_HANDLE_VALUE) return false;
        CloseHandle(other);
        return true;
    };
    struct Case { int sharing; bool read, write; };
    for (Case c : {Case{1, true, true}, Case{2, false, true}, Case{3, true, false}, Case{4, false, false}}) {
        int32_t file = openFile(path.c_str(), 3, c.sharing);
        ASSERT_NE(file, 0) << c.sharing;
        EXPECT_EQ(canOpen(GENERIC_READ), c.read) << c.sharing;
        EXPECT_EQ(canOpen(GENERIC_WRITE), c.write) << c.sharing;
        closeFile(file);
    }
    DeleteFileA(path.c_str());
}

TEST(FileCommands, OpenFilesAreRegisteredUntilClosed) {
    std::string path = scratchPath("registry.bin");
    int32_t file = openFile(path.c_str(), 4);
    ASSERT_NE(file, 0);
    rt::RuntimeApp& app = rt::RuntimeApp::instance();
    EXPECT_EQ(app.openFileMode(reinterpret_cast<void*>(file)), 4);
    closeFile(file);
    EXPECT_EQ(app.openFileMode(reinterpret_cast<void*>(file)), -1);
    // A number that isn't open: nothing is written.
    Bytes abc("abc");
    EXPECT_FALSE(writeBytes(file, abc.get()));
    EXPECT_FALSE(seekToEnd(file));
    // Files left open are closed by the runtime's registry.
    file = openFile(path.c_str(), 4);
    ASSERT_NE(file, 0);
    app.closeAllOpenFiles();
    EXPECT_EQ(app.openFileMode(reinterpret_cast<void*>(file)), -1);
    EXPECT_TRUE(DeleteFileA(path.c_str()));  // the handle is gone
}

namespace {
// Faults injected through the file commands' system-call table.
int gWritesBeforeFailure = 0;
BOOL WINAPI failingWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    if (gWritesBeforeFailure-- <= 0) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return WriteFile(file, data, size, written, overlapped);
}
DWORD gReadLimit = 0;  // bytes the file still yields, as if it shrank
BOOL WINAPI shrinkingRead(HANDLE file, LPVOID data, DWORD size, LPDWORD got, LPOVERLAPPED overlapped) {
    DWORD allowed = size < gReadLimit ? size : gReadLimit;
    BOOL ok = ReadFile(file, data, allowed, got, overlapped);
    gReadLimit -= *got;
    return ok;
}
struct FaultScope {
    rt::FileSystemCalls saved = rt::fileSystemCalls();
    ~FaultScope() { rt::fileSystemCalls() = saved; }
};
}  // namespace

TEST(FileCommands, FailedWriteRestoresThePosition) {
    std::string path = scratchPath("restore.bin");
    writeFileBytes(path, std::string(20, '.'));
    int32_t file = openFile(path.c_str(), 3);
    ASSERT_NE(file, 0);
    HANDLE handle = reinterpret_cast<HANDLE>(file);
    LARGE_INTEGER at{}, zero{}, now{};
    at.QuadPart = 2;
    SetFilePointerEx(handle, at, nullptr, FILE_BEGIN);
    Bytes abc("abc"), defgh("defgh");
    {
        // The first byte set goes through, the second fails.
        FaultScope scope;
        gWritesBeforeFailure = 1;
        rt::fileSystemCalls().writeFile = &failingWrite;
        EXPECT_FALSE(writeBytes(file, abc.get(), defgh.get()));
    }
    SetFilePointerEx(handle, zero, &now, FILE_CURRENT);
    EXPECT_EQ(now.QuadPart, 2);
    // Without the fault the same call writes both and moves on.
    EXPECT_TRUE(writeBytes(file, abc.get(), defgh.get()));
    SetFilePointerEx(handle, zero, &now, FILE_CURRENT);
    EXPECT_EQ(now.QuadPart, 10);
    closeFile(file);
    EXPECT_EQ(fileBytes(path), "..abcdefgh..........");
    DeleteFileA(path.c_str());
}

TEST(FileCommands, ReadFileShortensOnAShortRead) {
    std::string path = scratchPath("short.bin");
    writeFileBytes(path, "0123456789");
    FaultScope scope;
    gReadLimit = 4;
    rt::fileSystemCalls().readFile = &shrinkingRead;
    OwnedBytes bytes = readFile(path.c_str());
    EXPECT_EQ(byteSetLength(bytes.get()), 4);
    EXPECT_EQ(str(bytes), "0123");
    gReadLimit = 0;
    EXPECT_EQ(readFile(path.c_str()), nullptr);  // nothing read: the empty byte set
    DeleteFileA(path.c_str());
}
