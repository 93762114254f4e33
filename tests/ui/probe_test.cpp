// Whole-program runs of ui_probe: the program's window from its template,
// its events, worker requests with an owned message box, and the runtime
// errors of an unreadable template and of an unloaded window.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/msgbox_watch.h"

using namespace testing_support;

namespace {

struct ProbeRun {
    WatchedRun run;
    std::string log;   // code page 936
};

ProbeRun runProbe(const std::string& scenario) {
    std::string dir = programDirectory();
    std::string logPath = dir + "ui-probe-" + scenario + ".log";
    DeleteFileW(widen(logPath).c_str());
    ProbeRun probe;
    probe.run = runWatched("\"" + dir + "ui_probe.exe\" " + scenario + " \"" + logPath + "\"", 60000);
    std::ifstream in(widen(logPath).c_str(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    probe.log = text.str();
    return probe;
}

}  // namespace

TEST(UiProbe, TheProgramWindowLoadsRunsItsTimerAndEndsWithItsWindow) {
    ProbeRun probe = runProbe("events");
    ASSERT_TRUE(probe.run.started);
    EXPECT_FALSE(probe.run.timedOut);
    EXPECT_EQ(probe.run.exitCode, 0u);
    EXPECT_TRUE(probe.run.boxes.empty());
    std::string expected = "started\n"
                           "event0 visible=0 blocked=0\n"
                           "caption=" + utf8ToGbk(u8s(u8"正在获取更新程序，请等待...")) + "\n"
                           "timer=300000\n"
                           "panelwidth=290\n"
                           "loaded=0\n"
                           "timer-event\ntimer-event\ntimer-event\n"
                           "event2\n"
                           "loop-returned\n";
    EXPECT_EQ(probe.log, expected);
}

TEST(UiProbe, WorkerRequestsTakeEffectInOrderWithAnOwnedMessageBox) {
    ProbeRun probe = runProbe("worker");
    EXPECT_FALSE(probe.run.timedOut);
    EXPECT_EQ(probe.run.exitCode, 0u);
    ASSERT_EQ(probe.run.boxes.size(), 1u);
    EXPECT_EQ(probe.run.boxes[0].caption, u8s(u8"提示信息"));
    EXPECT_EQ(probe.run.boxes[0].text, u8s(u8"不能打开该URL"));
    std::string expected = "started\nloaded=0\n"
                           "worker timer=100\n"
                           "worker caption=" + utf8ToGbk(u8s(u8"总大小：1MB  下载完毕，请稍后...")) + "\n"
                           "worker box closed\n"
                           "worker done\n"
                           "loop-returned\n";
    // The worker's lines come while the loop runs; the loop ends after the
    // window went.
    EXPECT_EQ(probe.log, expected);
}

TEST(UiProbe, AWorkersRequestsAfterItsWindowWentRunNowhere) {
    ProbeRun probe = runProbe("late-worker");
    EXPECT_FALSE(probe.run.timedOut);
    EXPECT_EQ(probe.run.exitCode, 0u);
    EXPECT_TRUE(probe.run.boxes.empty()) << "no runtime error for a window that went";
    EXPECT_NE(probe.log.find("late requests timer=0\n"), std::string::npos) << probe.log;
}

TEST(UiProbe, AnUnreadableTemplateStopsStartUp) {
    ProbeRun probe = runProbe("badtemplate");
    EXPECT_EQ(probe.run.exitCode, 0xFFFFFFFFu);
    ASSERT_EQ(probe.run.boxes.size(), 1u);
    EXPECT_EQ(probe.run.boxes[0].caption, u8s(u8"错误"));
    EXPECT_NE(probe.run.boxes[0].text.find(u8s(u8"载入窗口模板数据段出错!")), std::string::npos);
    EXPECT_EQ(probe.log, "");
}

TEST(UiProbe, AClassPropertyOfAnUnloadedWindowIsARuntimeError) {
    ProbeRun probe = runProbe("notloaded");
    EXPECT_EQ(probe.run.exitCode, 0xFFFFFFFFu);
    ASSERT_EQ(probe.run.boxes.size(), 1u);
    EXPECT_NE(probe.run.boxes[0].text.find(u8s(u8"读取组件属性时发现指定窗口尚未载入")), std::string::npos);
    EXPECT_EQ(probe.log, "started\n");
}
