// The four ways a program on the runtime ends, observed from outside.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "runtime/runtime_error.h"
#include "tests/support/msgbox_watch.h"

using namespace testing_support;

namespace {

struct ProbeRun {
    WatchedRun run;
    std::string log;
};

ProbeRun runProbe(const std::string& scenario, const std::string& startDir = {}) {
    std::string dir = programDirectory();
    std::string logPath = dir + "probe-" + scenario + ".log";
    DeleteFileW(widen(logPath).c_str());
    ProbeRun probe;
    probe.run = runWatched("\"" + dir + "runtime_probe.exe\" " + scenario + " \"" + logPath + "\"", 30000, startDir);
    std::ifstream in(widen(logPath).c_str(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    probe.log = text.str();
    return probe;
}

bool contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

}  // namespace

TEST(ProgramEnd, StartRoutineWithoutWindowEndsWithZero) {
    ProbeRun probe = runProbe("plain");
    ASSERT_TRUE(probe.run.started);
    EXPECT_FALSE(probe.run.timedOut);
    EXPECT_EQ(probe.run.exitCode, 0u);
    EXPECT_TRUE(probe.run.boxes.empty());
    // Library start, then the loop is skipped, then handlers A, B in order
    // (A registered twice runs once), then the library end notification.
    EXPECT_TRUE(contains(probe.log, "notify-start 458757\n"));  // 0x70005 through the service function
    size_t a = probe.log.find("exit-A main=1"), b = probe.log.find("exit-B"), end = probe.log.find("notify-end");
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(b, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, end);
    EXPECT_EQ(probe.log.find("exit-A", a + 1), std::string::npos);
    EXPECT_TRUE(contains(probe.log, "loop-returned"));
}

TEST(ProgramEnd, LastWindowClosedEndsWithZero) {
    ProbeRun probe = runProbe("lastwindow");
    EXPECT_FALSE(probe.run.timedOut);
    EXPECT_EQ(probe.run.exitCode, 0u);
    EXPECT_TRUE(contains(probe.log, "loop-returned"));
    EXPECT_LT(probe.log.find("exit-A"), probe.log.find("exit-B"));
}

// The window opened after the early close is closed by its own timer inside
// the loop; a quit posted by the early close would end the loop first.
TEST(ProgramEnd, WindowsClosedBeforeTheLoopDoNotQuit) {
    ProbeRun probe = runProbe("closed-early");
    EXPECT_FALSE(probe.run.timedOut);
    EXPECT_EQ(probe.run.exitCode, 0u);
    size_t closed = probe.log.find("timer-closed"), returned = probe.log.find("loop-returned");
    ASSERT_NE(returned, std::string::npos) << probe.log;
    EXPECT_LT(closed, returned) << "the loop ended before the late window closed:\n" << probe.log;
}

TEST(ProgramEnd, EndCommandGivesItsCodeAndRunsHandlers) {
    ProbeRun probe = runProbe("end");
    EXPECT_EQ(probe.run.exitCode, 7u);
    EXPECT_LT(probe.log.find("exit-A"), probe.log.find("exit-B"));
    EXPECT_TRUE(contains(probe.log, "notify-end"));
    EXPECT_FALSE(contains(probe.log, "loop-returned"));
}

TEST(ProgramEnd, EndFromWorkerThreadRunsOnTheMainThread) {
    ProbeRun probe = runProbe("worker");
    EXPECT_FALSE(probe.run.timedOut);
    EXPECT_EQ(probe.run.exitCode, 5u);
    EXPECT_TRUE(contains(probe.log, "exit-A main=1"));
    EXPECT_TRUE(contains(probe.log, "notify-end main=1"));
    EXPECT_FALSE(contains(probe.log, "worker-returned"));
}

// Shutdown with a worker still running: nothing is unloaded while it may run
// (library end, and the unloading of the DLL it is inside, after the
// worker's last step; unloaded earlier, the worker crashes), a worker that can't be joined
// ends the process without the unloading (no library end), and a worker's
// end request during shutdown waits for the main thread's end instead of
// cutting it short with its own code.
TEST(ProgramEnd, ShutdownWaitsForRunningWorkers) {
    ProbeRun joined = runProbe("worker-joined");
    EXPECT_EQ(joined.run.exitCode, 0u);
    size_t done = joined.log.find("worker-done"), end = joined.log.find("notify-end");
    ASSERT_NE(done, std::string::npos) << joined.log;
    ASSERT_NE(end, std::string::npos) << joined.log;
    EXPECT_LT(done, end) << joined.log;

    DWORD start = GetTickCount();
    ProbeRun stuck = runProbe("worker-stuck");
    EXPECT_FALSE(stuck.run.timedOut);
    EXPECT_LT(GetTickCount() - start, 20000u) << "shutdown gave up on the worker";
    EXPECT_EQ(stuck.run.exitCode, 0u);
    EXPECT_TRUE(contains(stuck.log, "exit-stop"));
    EXPECT_FALSE(contains(stuck.log, "notify-end")) << stuck.log;

    ProbeRun ends = runProbe("worker-ends-in-shutdown");
    EXPECT_EQ(ends.run.exitCode, 0u) << "the main thread's end, not the worker's 5";
    EXPECT_TRUE(contains(ends.log, "notify-end")) << ends.log;
    EXPECT_TRUE(contains(ends.log, "crt-exit")) << ends.log;
    EXPECT_FALSE(contains(ends.log, "worker-returned"));
}

TEST(ProgramEnd, RuntimeErrorShowsItsMessageAndEndsWithMinusOne) {
    ProbeRun probe = runProbe("error");
    EXPECT_EQ(probe.run.exitCode, 0xFFFFFFFFu);
    ASSERT_EQ(probe.run.boxes.size(), 1u);
    EXPECT_EQ(probe.run.boxes[0].caption, u8s(u8"错误"));
    EXPECT_EQ(probe.run.boxes[0].text,
              u8s(u8"运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n\r\n0, 0\r\n"));
    // Exit handlers are dropped; library shutdown still runs.
    EXPECT_FALSE(contains(probe.log, "exit-A"));
    EXPECT_TRUE(contains(probe.log, "notify-end"));
}

TEST(ProgramEnd, LibraryRuntimeErrorCarriesItsOwnText) {
    ProbeRun probe = runProbe("error-message");
    EXPECT_EQ(probe.run.exitCode, 0xFFFFFFFFu);
    ASSERT_EQ(probe.run.boxes.size(), 1u);
    EXPECT_EQ(probe.run.boxes[0].text, u8s(u8"运行时出错!\r\n\r\n错误信息：库命令放弃了\r\n\r\n0, 0\r\n"));
}

// Service request 2001 on a cell that is no number: logical and date-time
// values are not numbers, and a missing cell is none either.
TEST(ProgramEnd, ConvertingANonNumberIsARuntimeError) {
    for (const char* scenario : {"not-number-logical", "not-number-date", "not-number-null"}) {
        ProbeRun probe = runProbe(scenario);
        EXPECT_EQ(probe.run.exitCode, 0xFFFFFFFFu) << scenario;
        EXPECT_EQ(probe.run.boxes.size(), 1u) << scenario;
        if (probe.run.boxes.empty()) continue;
        EXPECT_EQ(probe.run.boxes[0].text,
                  u8s(u8"运行时出错!\r\n\r\n错误信息：欲转换数据类型不是数值\r\n\r\n0, 0\r\n"))
            << scenario;
        EXPECT_FALSE(contains(probe.log, "converted")) << scenario;
    }
}

// The exit code is the quit code, not the wParam of whatever a modal loop
// pumped last (here its timer's id).
TEST(ProgramEnd, ModalLoopBeforeTheEndLeavesExitCodeZero) {
    ProbeRun probe = runProbe("modal");
    EXPECT_FALSE(probe.run.timedOut);
    EXPECT_TRUE(contains(probe.log, "modal-returned")) << probe.log;
    EXPECT_EQ(probe.run.exitCode, 0u);
}

TEST(StartUp, CurrentDirectoryIsTheProgramDirectoryAndCodePageIs936) {
    // Started from the Windows directory, the probe still ends up in its own.
    ProbeRun probe = runProbe("plain", "C:\\windows");
    std::string dir = programDirectory();
    dir.pop_back();  // no trailing backslash
    EXPECT_TRUE(contains(probe.log, "cwd=" + utf8ToGbk(dir) + "\n")) << probe.log;
    EXPECT_TRUE(contains(probe.log, "programdir=" + utf8ToGbk(dir) + "\n"));
    EXPECT_TRUE(contains(probe.log, "acp=936\n"));
    EXPECT_EQ(GetACP(), 936u);
}

TEST(RuntimeErrorText, LocationLinesAndEmptyMessage) {
    EXPECT_EQ(rt::formatRuntimeError("", 0, 0, 0), "运行时出错!\r\n\r\n0, 0\r\n");
    EXPECT_EQ(rt::formatRuntimeError(nullptr, 0, -3, 12), "运行时出错!\r\n\r\n-3, 12\r\n");
    // A window identifier with no window system: the window isn't found.
    EXPECT_EQ(rt::formatRuntimeError("x", 0, 0x52012CFF, 0),
              "运行时出错!\r\n\r\n错误信息：x\r\n\r\n1375808767, 0\r\n未找到所指定的窗口\r\n");
}
