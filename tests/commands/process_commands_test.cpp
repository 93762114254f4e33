// Starting programs: a real child records the window state it was given.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>

#include "tests/commands/command_test_support.h"
#include "tests/support/msgbox_watch.h"

using namespace rt::cmd;

namespace {

std::string directory() { return testing_support::utf8ToGbk(testing_support::programDirectory()); }

std::string readBack(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The child's record after runProgram(wait) with this window state.
std::string childRecord(Arg windowState, const std::string& pause = "") {
    std::string out = directory() + "child-state.txt";
    DeleteFileA(out.c_str());
    std::string commandLine = "\"" + directory() + "show_state_child.exe\" \"" + out + "\" " + pause;
    EXPECT_TRUE(runProgram(commandLine.c_str(), true, windowState));
    return readBack(out);
}

}  // namespace

TEST(ProcessCommands, ChildSeesTheRequestedWindowState) {
    EXPECT_EQ(childRecord(Arg()), "flags=1 show=1");  // default 2: SW_SHOWNORMAL
    EXPECT_EQ(childRecord(1), "flags=1 show=0");       // SW_HIDE
    EXPECT_EQ(childRecord(3), "flags=1 show=2");       // SW_SHOWMINIMIZED
    EXPECT_EQ(childRecord(4), "flags=1 show=3");       // SW_SHOWMAXIMIZED
    EXPECT_EQ(childRecord(5), "flags=1 show=4");       // SW_SHOWNOACTIVATE
    EXPECT_EQ(childRecord(6), "flags=1 show=6");       // SW_MINIMIZE
    // Clamped to 1..6.
    EXPECT_EQ(childRecord(0), "flags=1 show=0");
    EXPECT_EQ(childRecord(-3), "flags=1 show=0");
    EXPECT_EQ(childRecord(9), "flags=1 show=6");
}

TEST(ProcessCommands, WaitingReturnsAfterTheChildEnded) {
    // The child writes its record only after a pause.
    EXPECT_EQ(childRecord(2, "700"), "flags=1 show=1");
}

// Without waiting, the command waits only for the child's input idle, at most
// 1000 ms: a child that never reads messages and pauses far longer is still
// running when it returns.
TEST(ProcessCommands, WithoutWaitingTheChildStillRuns) {
    constexpr DWORD kChildPauseMs = 3500;
    constexpr DWORD kIdleWaitMs = 1000;
    constexpr DWORD kStartSlackMs = 1500;  // process creation under a busy Wine
    std::string out = directory() + "child-nowait.txt";
    DeleteFileA(out.c_str());
    std::string commandLine =
        "\"" + directory() + "show_state_child.exe\" \"" + out + "\" " + std::to_string(kChildPauseMs);
    DWORD start = GetTickCount();
    ASSERT_TRUE(runProgram(commandLine.c_str()));
    DWORD took = GetTickCount() - start;
    EXPECT_LT(took, kIdleWaitMs + kStartSlackMs);
    EXPECT_EQ(readBack(out), "") << "returned only after the child ended";
    for (DWORD waited = 0; waited < 2 * kChildPauseMs && readBack(out).empty(); waited += 50) Sleep(50);
    EXPECT_EQ(readBack(out), "flags=1 show=1");
}

TEST(ProcessCommands, MissingProgramIsFalse) {
    EXPECT_FALSE(runProgram("no_such_program_in_any_path_8d1c.exe"));
    EXPECT_FALSE(runProgram("\"C:\\no\\such\\dir\\x.exe\" arg", true));
    EXPECT_FALSE(runProgram(""));
}

TEST(ProcessCommands, TickCountFollowsTheSystem) {
    uint32_t before = GetTickCount();
    uint32_t ticks = tickCount();
    uint32_t after = GetTickCount();
    EXPECT_LE(ticks - before, after - before);
}
