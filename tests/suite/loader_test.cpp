// Finding, unpacking and loading the suite module, observed from outside:
// probe programs start in a scratch directory of their own with a private
// temporary directory, and log how the module was bound.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "tests/suite/suite_test_support.h"
#include "tests/support/msgbox_watch.h"

using namespace testing_support;

namespace {

const char kCoreFile[] = "SrvKitCore.2.7.2.dll";

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(widen(path).c_str(), std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(widen(path).c_str(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool exists(const std::string& path) { return GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

FILETIME lastWrite(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

struct ProbeRun {
    WatchedRun run;
    std::map<std::string, std::string> log;
    std::string rawLog;
};

// A scratch directory (program directory of the probe) with a temporary
// directory inside it that the probe uses.
class Scratch {
public:
    explicit Scratch(const std::string& name) {
        dir = programDirectory() + "suite-scratch\\" + name + "\\";
        tmp = dir + "tmp\\";
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(widen(dir)), ignored);
        std::filesystem::create_directories(std::filesystem::path(widen(tmp)));
    }

    std::string tempCopy() const { return tmp + kCoreFile; }

    ProbeRun run(const std::string& scenario, const std::string& programName = "suite_probe.exe",
                 const std::string& builtProgram = "suite_probe.exe", std::string tempDirectory = {}) {
        std::string program = dir + programName;
        if (!exists(program)) CopyFileW(widen(programDirectory() + builtProgram).c_str(), widen(program).c_str(), FALSE);
        std::string logPath = dir + "probe.log";
        DeleteFileW(widen(logPath).c_str());
        ProbeRun probe;
        // No trailing backslash before a closing quote: it would escape the quote.
        std::string tmpArgument = tempDirectory.empty() ? tmp.substr(0, tmp.size() - 1) : tempDirectory;
        probe.run = runWatched("\"" + program + "\" " + scenario + " \"" + logPath + "\" \"" + tmpArgument + "\"", 60000, dir);
        std::ifstream in(widen(logPath).c_str(), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            probe.rawLog += line + "\n";
            size_t eq = line.find('=');
            probe.log[line.substr(0, eq)] = eq == std::string::npos ? "" : line.substr(eq + 1);
        }
        return probe;
    }

    std::string dir, tmp;
};

const std::vector<uint8_t>& moduleBytes() {
    static const std::vector<uint8_t> bytes = readBytes(suite_testing::moduleFilePath());
    return bytes;
}

void expectBoundAndWorking(const ProbeRun& probe) {
    EXPECT_FALSE(probe.run.timedOut);
    EXPECT_TRUE(probe.run.boxes.empty());
    EXPECT_EQ(probe.log.at("bound"), "1") << probe.rawLog;
    EXPECT_EQ(probe.log.at("jmap"), "v") << "the forwarding table reaches the module";
}

}  // namespace

TEST(SuiteLoader, UnpacksTheResourceAndDeletesItsCopyAtTheNormalEnd) {
    Scratch scratch("unpack");
    ProbeRun probe = scratch.run("plain");
    ASSERT_TRUE(probe.run.started);
    expectBoundAndWorking(probe);
    EXPECT_EQ(probe.run.exitCode, 0u);
    EXPECT_EQ(probe.log["kind"], "1");
    EXPECT_EQ(probe.log["path"], scratch.tempCopy());
    EXPECT_FALSE(exists(scratch.tempCopy())) << "the written copy is deleted once released";
    EXPECT_NE(probe.rawLog.find("exit-handler"), std::string::npos);
}

// A good copy left in the temporary directory comes after the placed files:
// it stays as it is, neither loaded nor written again.
TEST(SuiteLoader, AFileInTheCurrentDirectoryWinsInItsOrder) {
    Scratch scratch("placed");
    const std::vector<uint8_t>& module = moduleBytes();
    writeBytes(scratch.tempCopy(), module);
    FILETIME leftoverWritten = lastWrite(scratch.tempCopy());
    writeBytes(scratch.dir + "SrvKit.slib", module);
    ProbeRun slib = scratch.run("plain");
    expectBoundAndWorking(slib);
    EXPECT_EQ(slib.log["kind"], "2");
    EXPECT_EQ(slib.log["path"], scratch.dir + "SrvKit.slib");

    writeBytes(scratch.dir + "SrvKit.dll", module);
    ProbeRun dll = scratch.run("plain");
    expectBoundAndWorking(dll);
    EXPECT_EQ(dll.log["path"], scratch.dir + "SrvKit.dll");

    writeBytes(scratch.dir + kCoreFile, module);
    ProbeRun core = scratch.run("plain");
    expectBoundAndWorking(core);
    EXPECT_EQ(core.log["kind"], "2");
    EXPECT_EQ(core.log["path"], scratch.dir + kCoreFile);

    // Found files are only released, never deleted.
    EXPECT_TRUE(exists(scratch.dir + kCoreFile));
    EXPECT_TRUE(exists(scratch.dir + "SrvKit.dll"));
    ASSERT_TRUE(exists(scratch.tempCopy()));
    FILETIME leftoverAfter = lastWrite(scratch.tempCopy());
    EXPECT_EQ(CompareFileTime(&leftoverWritten, &leftoverAfter), 0) << "the resource was unpacked over the copy";
}

TEST(SuiteLoader, AnUnloadableFileInTheCurrentDirectoryFallsThroughToTheResource) {
    Scratch scratch("unloadable");
    writeBytes(scratch.dir + "SrvKit.dll", {'M', 'Z', 0, 0});
    ProbeRun probe = scratch.run("plain");
    expectBoundAndWorking(probe);
    EXPECT_EQ(probe.log["kind"], "1");
    EXPECT_EQ(probe.log["path"], scratch.tempCopy());
}

TEST(SuiteLoader, AnUnwritableTemporaryDirectoryGivesACopyInTheCurrentDirectory) {
    Scratch scratch("no-temp");
    ProbeRun probe = scratch.run("plain", "suite_probe.exe", "suite_probe.exe", scratch.dir + "no-such-dir");
    expectBoundAndWorking(probe);
    EXPECT_EQ(probe.log["kind"], "1");
    EXPECT_EQ(probe.log["path"], scratch.dir + kCoreFile);
    EXPECT_FALSE(exists(scratch.dir + kCoreFile)) << "written by the bridge, so deleted once released";
}

TEST(SuiteLoader, ASecondStartReusesTheCopyLeftByAnEarlierRun) {
    Scratch scratch("reuse");
    ProbeRun crashed = scratch.run("crash");
    EXPECT_EQ(crashed.run.exitCode, 3u);
    EXPECT_EQ(crashed.log["kind"], "1");
    ASSERT_TRUE(exists(scratch.tempCopy())) << "an abrupt end leaves the copy behind";
    EXPECT_EQ(readBytes(scratch.tempCopy()), moduleBytes());
    FILETIME written = lastWrite(scratch.tempCopy());

    Sleep(50);
    ProbeRun second = scratch.run("plain");
    expectBoundAndWorking(second);
    EXPECT_EQ(second.log["kind"], "2") << "loaded as a file that was already there";
    EXPECT_EQ(second.log["path"], scratch.tempCopy());
    ASSERT_TRUE(exists(scratch.tempCopy())) << "a reused copy is only released";
    FILETIME after = lastWrite(scratch.tempCopy());
    EXPECT_EQ(CompareFileTime(&written, &after), 0) << "not written again";
}

TEST(SuiteLoader, ATruncatedOrAlteredLeftoverCopyIsReplacedByTheCarriedImage) {
    Scratch scratch("corrupt");
    std::vector<uint8_t> truncated(moduleBytes().begin(), moduleBytes().begin() + moduleBytes().size() / 2);
    std::vector<uint8_t> altered = moduleBytes();
    altered[altered.size() / 2] ^= 0x5A;  // same size, foreign content
    for (const std::vector<uint8_t>* leftover : {&truncated, &altered}) {
        writeBytes(scratch.tempCopy(), *leftover);
        ProbeRun probe = scratch.run("crash");
        EXPECT_EQ(probe.log["bound"], "1") << probe.rawLog;
        EXPECT_EQ(probe.log["jmap"], "v");
        EXPECT_EQ(probe.log["kind"], "1") << "written again, not loaded as found";
        EXPECT_EQ(readBytes(scratch.tempCopy()), moduleBytes());
    }
    // Written under a temporary name and renamed: nothing else remains.
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(widen(scratch.tmp)))) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

TEST(SuiteLoader, HandOverVariablesAreTakenExceptByAProgramNamedIdeExe) {
    Scratch scratch("handover");
    ProbeRun taken = scratch.run("handover");
    EXPECT_EQ(taken.log["bound"], "1") << taken.rawLog;
    EXPECT_EQ(taken.log["handover"], "1");
    EXPECT_EQ(taken.log["loaded"], "0") << "no module of its own";
    EXPECT_FALSE(exists(scratch.tempCopy()));

    ProbeRun ide = scratch.run("handover", "IDE.exe");
    expectBoundAndWorking(ide);
    EXPECT_EQ(ide.log["handover"], "0");
    EXPECT_EQ(ide.log["kind"], "1") << "the module is loaded anew";
}

TEST(SuiteLoader, WithNeitherFilesNorResourceOneMessageBoxThenExitCodeZero) {
    Scratch scratch("missing");
    const std::string expected =
        u8s(u8"====================================\r\n= SrvKit2.7.2 加载失败\r\n"
            u8"====================================\r\n[原因] 无法从资源文件中加载SrvKit库！\r\n[解决] "
            u8"请确认编译后的程序中包含SrvKit模块资源，或者拷贝 SrvKit.dll/SrvKit.slib 到程序所在目录");
    // An unloadable file first: the later attempt's texts replace its own.
    writeBytes(scratch.dir + "SrvKit.slib", {1, 2, 3});
    for (int round = 0; round < 2; ++round) {
        ProbeRun probe = scratch.run("plain", "suite_probe_bare.exe", "suite_probe_bare.exe");
        ASSERT_TRUE(probe.run.started);
        EXPECT_FALSE(probe.run.timedOut);
        EXPECT_EQ(probe.run.exitCode, 0u);
        ASSERT_EQ(probe.run.boxes.size(), 1u);
        EXPECT_EQ(probe.run.boxes[0].caption, u8s(u8"[SrvKit] 载入失败"));
        EXPECT_EQ(probe.run.boxes[0].text, expected);
        EXPECT_NE(probe.rawLog.find("exit-handler"), std::string::npos) << "the normal exit path runs the handlers";
        EXPECT_EQ(probe.log.count("bound"), 0u) << "the process ended during start-up";
        DeleteFileW(widen(scratch.dir + "SrvKit.slib").c_str());
    }
}

TEST(SuiteLoader, AnUnloadableLeftoverInAProgramWithoutResourceIsReported) {
    Scratch scratch("bad-leftover");
    writeBytes(scratch.tempCopy(), {'n', 'o', 't', ' ', 'a', ' ', 'd', 'l', 'l'});
    ProbeRun probe = scratch.run("plain", "suite_probe_bare.exe", "suite_probe_bare.exe");
    EXPECT_EQ(probe.run.exitCode, 0u);
    ASSERT_EQ(probe.run.boxes.size(), 1u);
    // Nothing to compare it with: it is tried, then the missing resource is what's reported.
    EXPECT_NE(probe.run.boxes[0].text.find(u8s(u8"无法从资源文件中加载SrvKit库！")), std::string::npos);
    EXPECT_TRUE(exists(scratch.tempCopy())) << "a file the bridge didn't write is never deleted";
}
