// Window, draw-panel and owned message-box commands through the call frame,
// on windows of small test templates in this process.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "tests/commands/command_test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/controls/property_blocks.h"
#include "ui/window_registry.h"
#include "ui/window_requests.h"
#include "ui/window_runtime.h"

using namespace rt::cmd;

namespace {

class WindowCommands : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ui::installWindowRuntime(); }
    void SetUp() override { ui_test::resetSlots(); }
    void TearDown() override {
        for (uint32_t id : opened_)
            if (HWND hwnd = ui_test::windowOf(id)) DestroyWindow(hwnd);
        ui_test::pumpFor(2);
    }
    Arg windowCell(const ui_test::TestWindow& window) { return Arg::unit(window.id(), 0, ui_test::kWindowClassId); }
    // A window with a white draw panel at (10, 10), 120 x 40; not loaded.
    ui_test::TestWindow& panelWindow() {
        ui::DrawPanelBlock block;
        block.backgroundColour = 0x00FFFFFF;
        panel_ = window_.add(ui_test::kDrawPanelClassId, 10, 10, 120, 40, true, ui::blockBytes(block));
        window_.install();
        return window_;
    }
    bool open(ui_test::TestWindow& window, Arg owner = {}) {
        opened_.push_back(window.id());
        return openWindow(windowCell(window), owner);
    }
    Arg panelCell() { return Arg::unit(window_.id(), window_.unitId(panel_), ui_test::kDrawPanelClassId); }
    HWND panelHandle() { return ui_test::unitHandle(window_.id(), window_.unitId(panel_)); }
    // Read back from the screen after a repaint from the persistent image;
    // an idle wait lets the system bring the window's drawing to the screen.
    COLORREF pixel(int x, int y) {
        RedrawWindow(panelHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        ui_test::pumpFor(4);
        return ui_test::screenPixel(panelHandle(), x, y);
    }

    ui_test::TestWindow window_;
    size_t panel_ = 0;
    std::vector<uint32_t> opened_;
};

const COLORREF kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0), kBlack = RGB(0, 0, 0);

}  // namespace

TEST_F(WindowCommands, OpenWindowLoadsFromTheTemplate) {
    window_.install();
    EXPECT_TRUE(open(window_));
    HWND hwnd = ui_test::windowOf(window_.id());
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), nullptr);
    // A window identifier that isn't in the template.
    EXPECT_FALSE(openWindow(Arg::unit(0x52FFFFF0, 0, ui_test::kWindowClassId)));
}

TEST_F(WindowCommands, OpenWindowWithAnOwner) {
    window_.install();
    ASSERT_TRUE(open(window_));
    ui_test::TestWindow second;
    second.install();
    ASSERT_TRUE(open(second, windowCell(window_)));
    EXPECT_EQ(GetWindow(ui_test::windowOf(second.id()), GW_OWNER), ui_test::windowOf(window_.id()));
}

TEST_F(WindowCommands, DestroyWindowLaterOrAtOnce) {
    window_.install();
    ASSERT_TRUE(open(window_));
    destroyWindow(windowCell(window_));
    // Marked only: the window goes when its thread handles the message.
    EXPECT_NE(ui_test::windowOf(window_.id()), nullptr);
    EXPECT_TRUE(ui_test::pumpUntil([&] { return ui_test::windowOf(window_.id()) == nullptr; }));

    ASSERT_TRUE(open(window_));
    destroyWindow(windowCell(window_), true);
    EXPECT_EQ(ui_test::windowOf(window_.id()), nullptr);
    // A window that isn't loaded: nothing happens.
    destroyWindow(windowCell(window_), true);
}

namespace {
int gAppMessages = 0;
LRESULT CALLBACK countingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) ++gAppMessages;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
}  // namespace

TEST_F(WindowCommands, ProcessEventsHandlesWaitingMessagesButLeavesAQuit) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = countingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "CountingWindow";
    RegisterClassA(&windowClass);
    HWND hwnd = CreateWindowExA(0, "CountingWindow", "", 0, 0, 0, 10, 10, nullptr, nullptr, windowClass.hInstance,
                                nullptr);
    ASSERT_NE(hwnd, nullptr);
    ui_test::pumpFor(1);
    gAppMessages = 0;
    PostMessageA(hwnd, WM_APP, 0, 0);
    PostMessageA(hwnd, WM_APP, 0, 0);
    processEvents();
    EXPECT_EQ(gAppMessages, 2);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));

    // A quit waiting in the queue stops the processing before what follows it.
    PostMessageA(hwnd, WM_APP, 0, 0);
    PostMessageA(nullptr, WM_QUIT, 3, 0);
    PostMessageA(hwnd, WM_APP, 0, 0);
    processEvents();
    EXPECT_EQ(gAppMessages, 3);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 3u);
    processEvents();
    EXPECT_EQ(gAppMessages, 4);
    DestroyWindow(hwnd);
}

TEST_F(WindowCommands, DrawPanelCommandsDrawWithDefaultsForLeftOutArguments) {
    panelWindow();
    ASSERT_TRUE(open(window_));
    UpdateWindow(ui_test::windowOf(window_.id()));
    ui_test::pumpFor(2);
    // Persistent drawing, so a late repaint can't wipe it; brush red.
    ui::writeUnitProperty(window_.id(), window_.unitId(panel_), 12, -1, 1);
    ui::writeUnitProperty(window_.id(), window_.unitId(panel_), 19, -1, 0x0000FF);
    clearPanel(panelCell());
    fillPanelRect(panelCell(), 60, 30, 5, 5);  // corners in any order
    EXPECT_EQ(pixel(20, 20), kRed);
    EXPECT_EQ(pixel(80, 20), kWhite);
    // Only the given area is cleared.
    clearPanel(panelCell(), 0, 0, 15, 40);
    EXPECT_EQ(pixel(10, 20), kWhite);
    EXPECT_EQ(pixel(20, 20), kRed);
    clearPanel(panelCell());
    EXPECT_EQ(pixel(20, 20), kWhite);

    // Numbers are written as text: ink appears, from the given position.
    writePanelText(panelCell(), 60, 5, 123, "x");
    pixel(0, 0);  // brings the drawing onto the screen
    int ink = 0;
    for (int x = 0; x < 120; ++x)
        for (int y = 0; y < 40; ++y)
            if (ui_test::screenPixel(panelHandle(), x, y) == kBlack) {
                ++ink;
                EXPECT_GE(x, 60);
                EXPECT_GE(y, 5);
            }
    EXPECT_GT(ink, 0);
}

TEST_F(WindowCommands, MessageBoxWithAnOwnerWindowFromAWorkerIsShownOnTheOwnersThread) {
    window_.install();
    ASSERT_TRUE(open(window_));
    HWND owner = ui_test::windowOf(window_.id());
    std::atomic<int32_t> result{-9};
    std::atomic<bool> finished{false};
    std::atomic<DWORD> boxThread{0};
    std::atomic<HWND> boxOwner{nullptr};
    std::atomic<int> ownerEnabled{-1};
    std::thread worker([&] {
        result = messageBox("owned", 0, "owned-box", windowCell(window_));
        finished = true;
    });
    // A third thread looks at the box and presses OK; this thread keeps
    // handling messages, so the worker's request runs here.
    std::thread presser([&] {
        for (int i = 0; i < 400; ++i) {
            if (HWND box = FindWindowA("#32770", "owned-box"); box && IsWindowVisible(box)) {
                boxThread = GetWindowThreadProcessId(box, nullptr);
                boxOwner = GetWindow(box, GW_OWNER);
                ownerEnabled = IsWindowEnabled(owner) ? 1 : 0;
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
                return;
            }
            Sleep(25);
        }
    });
    EXPECT_TRUE(ui_test::pumpUntil([&] { return finished.load(); }));
    presser.join();
    worker.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(boxThread, GetCurrentThreadId());
    EXPECT_EQ(boxOwner, owner);
    EXPECT_EQ(ownerEnabled, 0);
    EXPECT_TRUE(IsWindowEnabled(owner));
}
