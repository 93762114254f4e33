// messageBox in this process: a helper thread presses a chosen button and
// looks at the thread's other window while the box is up.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "tests/commands/command_test_support.h"

using namespace rt::cmd;

namespace {

struct Press {
    const char* caption;
    int button;
    HWND watched = nullptr;
    std::atomic<int> watchedEnabled{-1};
};

// Finds the box by caption, notes whether `watched` is enabled, presses `button`.
void pressWhenShown(Press* press) {
    for (int i = 0; i < 400; ++i) {
        HWND box = FindWindowA("#32770", press->caption);
        if (box && IsWindowVisible(box)) {
            if (press->watched) press->watchedEnabled = IsWindowEnabled(press->watched) ? 1 : 0;
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(press->button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, press->button)));
            return;
        }
        Sleep(25);
    }
}

int32_t boxPressing(int button, Arg flags, HWND watched = nullptr, int* watchedEnabled = nullptr) {
    Press press{"box-under-test", button, watched};
    std::thread helper(pressWhenShown, &press);
    int32_t result = messageBox("text", flags, "box-under-test");
    helper.join();
    if (watchedEnabled) *watchedEnabled = press.watchedEnabled;
    return result;
}

}  // namespace

TEST(MessageBoxCommand, ButtonsMapToZeroBasedResults) {
    EXPECT_EQ(boxPressing(IDOK, 16), 0);
    EXPECT_EQ(boxPressing(IDCANCEL, MB_OKCANCEL), 1);
    EXPECT_EQ(boxPressing(IDABORT, MB_ABORTRETRYIGNORE), 2);
    EXPECT_EQ(boxPressing(IDRETRY, MB_ABORTRETRYIGNORE), 3);
    EXPECT_EQ(boxPressing(IDIGNORE, MB_ABORTRETRYIGNORE), 4);
    EXPECT_EQ(boxPressing(IDYES, MB_YESNO), 5);
    EXPECT_EQ(boxPressing(IDNO, MB_YESNOCANCEL), 6);
}

TEST(MessageBoxCommand, TaskModalUnlessSystemModal) {
    HWND window = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    int enabled = -1;
    EXPECT_EQ(boxPressing(IDOK, Arg(), window, &enabled), 0);
    EXPECT_EQ(enabled, 0);  // task-modal: the thread's windows are disabled
    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_EQ(boxPressing(IDOK, MB_SYSTEMMODAL, window, &enabled), 0);
    EXPECT_EQ(enabled, 1);
    DestroyWindow(window);
}
