// Commands that end the program, and message boxes, seen from outside.
#include <gtest/gtest.h>

#include "runtime/data_cell.h"
#include "tests/commands/probe_run.h"

using namespace testing_support;

TEST(CommandErrors, RemainderByZeroEndsTheProgram) {
    ProbeRun probe = runCommandsProbe("remainder-zero");
    EXPECT_EQ(probe.run.exitCode, 0xFFFFFFFFu);
    EXPECT_TRUE(probe.logged("first=3.000000")) << probe.log;
    EXPECT_FALSE(probe.logged("returned"));
    ASSERT_EQ(probe.run.boxes.size(), 1u);
    EXPECT_EQ(probe.run.boxes[0].caption, u8s(u8"错误"));
    EXPECT_EQ(probe.run.boxes[0].text, runtimeErrorText(u8s(u8"不能求余数于零")));
}

TEST(CommandErrors, ReadValueWithABadTypeNumberEndsTheProgram) {
    for (const char* scenario : {"bad-type-0", "bad-type-11"}) {
        ProbeRun probe = runCommandsProbe(scenario);
        EXPECT_EQ(probe.run.exitCode, 0xFFFFFFFFu) << scenario;
        EXPECT_FALSE(probe.logged("returned")) << scenario;
        ASSERT_EQ(probe.run.boxes.size(), 1u) << scenario;
        EXPECT_EQ(probe.run.boxes[0].text, runtimeErrorText(u8s(u8"“欲取出数据的类型”参数值无效"))) << scenario;
    }
}

// An allocation that fails inside a command is the runtime error naming its
// size, whether the runtime heap or C++ allocation failed: never an
// exception escaping the program.
TEST(CommandErrors, AllocationFailureInACommandIsTheAllocationError) {
    const struct {
        const char* scenario;
        const char8_t* message;
    } cases[] = {
        {"huge-blank-text", u8"分配 2147483633 字节内存失败!"},
        {"huge-vector-command", u8"分配 2147418112 字节内存失败!"},
    };
    for (const auto& c : cases) {
        ProbeRun probe = runCommandsProbe(c.scenario);
        EXPECT_EQ(probe.run.exitCode, 0xFFFFFFFFu) << c.scenario;
        EXPECT_FALSE(probe.logged("returned")) << c.scenario;
        ASSERT_EQ(probe.run.boxes.size(), 1u) << c.scenario;
        EXPECT_EQ(probe.run.boxes[0].caption, u8s(u8"错误"));
        EXPECT_EQ(probe.run.boxes[0].text, runtimeErrorText(u8s(c.message))) << c.scenario;
    }
}

// Any other exception stops at the command: its caller goes on with the
// result as the command left it, and the program doesn't end.
TEST(CommandErrors, AnExceptionInACommandStopsAtTheCommand) {
    ProbeRun probe = runCommandsProbe("throwing-command");
    EXPECT_EQ(probe.run.exitCode, 0u);
    EXPECT_TRUE(probe.run.boxes.empty());
    EXPECT_TRUE(probe.logged("returned type=" + std::to_string(rt::kTypeInt))) << probe.log;
}

TEST(MessageBoxCommand, ShownTextsAndCaptions) {
    ProbeRun probe = runCommandsProbe("message-boxes");
    EXPECT_EQ(probe.run.exitCode, 0u);
    ASSERT_EQ(probe.run.boxes.size(), 3u);
    EXPECT_EQ(probe.run.boxes[0].caption, u8s(u8"信息："));  // the default caption
    EXPECT_EQ(probe.run.boxes[0].text, u8s(u8"出错了"));
    EXPECT_EQ(probe.run.boxes[1].caption, u8s(u8"问题"));
    EXPECT_EQ(probe.run.boxes[1].text, "1.5");
    EXPECT_EQ(probe.run.boxes[2].text, u8s(u8"真"));
    EXPECT_TRUE(probe.logged("error-box=0")) << probe.log;
    EXPECT_TRUE(probe.logged("logical-box=0"));
}
