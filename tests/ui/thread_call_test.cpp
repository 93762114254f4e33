// Requests from a worker thread take effect on the window's thread, in the
// order issued, each before the worker goes on; a gone window or thread
// never blocks the worker.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "runtime/heap.h"
#include "runtime/thread_call.h"
#include "tests/ui/ui_test_support.h"
#include "ui/controls/draw_panel.h"
#include "ui/controls/property_blocks.h"
#include "ui/window_requests.h"

using namespace ui;
using rt::runOnThreadOf;
using rt::ThreadCallResult;

namespace {

std::vector<std::string>* gSeenTexts = nullptr;
WNDPROC gLabelProc = nullptr;

LRESULT CALLBACK recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT && gSeenTexts) gSeenTexts->push_back(reinterpret_cast<const char*>(lParam));
    return CallWindowProcA(gLabelProc, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK requestTakingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (rt::handleThreadCall(message, wParam, lParam, result)) return result;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A plain window of the calling thread that takes requests like the runtime's.
HWND requestTakingWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &requestTakingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "RequestTaking";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, "RequestTaking", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

TEST(WindowThreadCall, WorkerRequestsArriveInOrderAndTakeEffectBeforeTheWorkerGoesOn) {
    ui_test::resetSlots();
    ui_test::TestWindow test;
    size_t label = test.add(ui_test::kLabelClassId, 10, 10, 100, 20, true, {});
    size_t timer = test.add(ui_test::kTimerClassId, 0, 0, 10, 10, false, {});
    WindowRecord& record = test.install();
    ASSERT_EQ(ui_test::load(record), 1);
    uint32_t id = test.id(), l = test.unitId(label), t = test.unitId(timer);
    HWND labelWindow = ui_test::unitHandle(id, l);
    HWND window = ui_test::windowOf(id);
    std::vector<std::string> seen;
    gSeenTexts = &seen;
    gLabelProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(labelWindow, GWLP_WNDPROC,
                                                             reinterpret_cast<LONG_PTR>(&recordingProc)));

    const int kSteps = 60;
    std::atomic<bool> done{false};
    int mismatches = 0, wrongThread = 0;
    bool windowGoneAfterDestroy = false;
    DWORD uiThread = GetCurrentThreadId();
    std::thread worker([&] {
        for (int i = 1; i <= kSteps; ++i) {
            std::string caption = "步骤" + std::to_string(i);
            writeUnitProperty(id, l, 8, -1, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(caption.c_str())));
            writeUnitProperty(id, t, 8, -1, static_cast<uint32_t>(i));
            // Read back at once: the write has already taken effect.
            auto read = reinterpret_cast<char*>(static_cast<uintptr_t>(readUnitProperty(id, l, 8)));
            if (!read || caption != read) ++mismatches;
            rt::rtFree(read);
            if (readUnitProperty(id, t, 8) != static_cast<uint32_t>(i)) ++mismatches;
            runOnThreadOf(window, [&] {
                if (GetCurrentThreadId() != uiThread) ++wrongThread;
            });
        }
        destroyWindow(id, true);
        windowGoneAfterDestroy = !IsWindow(window);
        done = true;
    });
    EXPECT_TRUE(ui_test::pumpUntil([&] { return done.load(); }, 5000));
    worker.join();
    gSeenTexts = nullptr;
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(wrongThread, 0);
    EXPECT_TRUE(windowGoneAfterDestroy);
    ASSERT_EQ(seen.size(), static_cast<size_t>(kSteps));
    for (int i = 0; i < kSteps; ++i) EXPECT_EQ(seen[i], "步骤" + std::to_string(i + 1));
}

TEST(WindowThreadCall, DrawingFromAWorkerLandsOnThePanel) {
    ui_test::resetSlots();
    ui_test::TestWindow test;
    DrawPanelBlock block;
    block.backgroundColour = 0x00FFFFFF;
    size_t panel = test.add(ui_test::kDrawPanelClassId, 10, 10, 100, 30, true, blockBytes(block));
    WindowRecord& record = test.install();
    ASSERT_EQ(ui_test::load(record), 1);
    uint32_t id = test.id(), p = test.unitId(panel);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        clearPanel(id, p);
        writeUnitProperty(id, p, 12, -1, 1);
        writeUnitProperty(id, p, 19, -1, 0x00FF00);
        fillPanelRect(id, p, 0, 30, 50, 0);
        done = true;
    });
    EXPECT_TRUE(ui_test::pumpUntil([&] { return done.load(); }, 5000));
    worker.join();
    HWND hwnd = ui_test::unitHandle(id, p);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_EQ(ui_test::screenPixel(hwnd, 25, 15), RGB(0, 255, 0));
    EXPECT_EQ(ui_test::screenPixel(hwnd, 75, 15), RGB(255, 255, 255));
    DestroyWindow(ui_test::windowOf(id));
}

TEST(WindowThreadCall, AGoneWindowOrThreadNeverBlocksTheCaller) {
    // A window whose thread ends while a request waits for it.
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> window{nullptr};
    std::thread owner([&] {
        window = requestTakingWindow();
        WaitForSingleObject(release, INFINITE);   // never handles messages
    });
    while (!window.load()) Sleep(1);
    std::atomic<bool> ran{false}, returned{false};
    std::atomic<ThreadCallResult> result{ThreadCallResult::ran};
    std::thread caller([&] {
        result = runOnThreadOf(window.load(), [&] { ran = true; });
        returned = true;
    });
    SetEvent(release);
    owner.join();
    caller.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(result.load(), ThreadCallResult::windowGone);
    EXPECT_FALSE(ran);
    // And after it is gone.
    EXPECT_EQ(runOnThreadOf(window.load(), [&] { ran = true; }), ThreadCallResult::windowGone);
    EXPECT_FALSE(ran);
    CloseHandle(release);
}

TEST(WindowThreadCall, ARequestOnAPumpingThreadRunsThere) {
    std::atomic<HWND> window{nullptr};
    std::atomic<bool> stop{false};
    DWORD ownerThread = 0;
    std::thread owner([&] {
        ownerThread = GetCurrentThreadId();
        window = requestTakingWindow();
        ui_test::pumpUntil([&] { return stop.load(); }, 100000);
        DestroyWindow(window);
    });
    while (!window.load()) Sleep(1);
    DWORD ranOn = 0;
    EXPECT_EQ(runOnThreadOf(window.load(), [&] { ranOn = GetCurrentThreadId(); }), ThreadCallResult::ran);
    EXPECT_EQ(ranOn, ownerThread);
    // A request that throws ran once, there, and says so; the exception
    // stays on the window's side.
    int runs = 0;
    EXPECT_EQ(runOnThreadOf(window.load(), [&] { ++runs; throw 1; }), ThreadCallResult::failed);
    EXPECT_EQ(runs, 1);
    // A call message that names no pending call of ours runs nothing, even
    // when its parameter is the address of something shaped like a request
    // (another process could send any number).
    bool forgedRan = false;
    std::function<void()> forged = [&] { forgedRan = true; };
    struct {
        const std::function<void()>* request;
        ThreadCallResult result;
    } lookalike{&forged, ThreadCallResult::windowGone};
    EXPECT_EQ(SendMessageA(window.load(), rt::kMsgThreadCall, 0, reinterpret_cast<LPARAM>(&lookalike)), 0);
    EXPECT_EQ(SendMessageA(window.load(), rt::kMsgThreadCall, 0, 0), 0);
    EXPECT_FALSE(forgedRan);
    stop = true;
    PostMessageA(window.load(), WM_NULL, 0, 0);
    owner.join();
}
