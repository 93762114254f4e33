// Loading windows: creation order and identifiers, z-order, events around
// the load, close queries and failed loads.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "runtime/runtime_app.h"
#include "runtime/window_system.h"
#include "tests/ui/ui_test_support.h"
#include "ui/controls/property_blocks.h"
#include "ui/program_window.h"
#include "ui/unit_object.h"
#include "ui/window_loader.h"
#include "ui/window_requests.h"

using namespace ui;
using ui_test::gSlots;

namespace {

// A window like the program's: timer, two captions, panel, label.
ui_test::TestWindow programLike() {
    ui_test::TestWindow test;
    test.add(ui_test::kTimerClassId, 8, 8, 26, 26, false, blockBytes(TimerBlock{}));
    test.add(ui_test::kTransLabelClassId, 8, 33, 59, 20, true, {});
    test.add(ui_test::kTransLabelClassId, 8, 8, 59, 20, true, {});
    test.add(ui_test::kDrawPanelClassId, 70, 8, 200, 20, true, {});
    test.add(ui_test::kLabelClassId, 70, 33, 200, 20, true, {});
    return test;
}

struct EventLog {
    std::vector<int32_t> events;
    void record(ui_test::TestWindow& test, std::initializer_list<int32_t> numbers) {
        uint32_t slot = 0;
        for (int32_t number : numbers) {
            test.bind(0, number, slot);
            gSlots[slot++] = [this, number](const uint32_t*, uint32_t) {
                events.push_back(number);
                return HandlerResult::none();
            };
        }
    }
};

}  // namespace

TEST(Loader, CreatesTheWindowThenControlsFromTheLastWithIdentifiersAndTemplateZOrder) {
    ui_test::resetSlots();
    ui_test::TestWindow test = programLike();
    WindowRecord& record = test.install();
    // A task bar along the top: centring is on the screen all the same.
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT belowBar{work.left, work.top + 100, work.right, work.bottom};
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &belowBar, 0);
    int32_t loaded = ui_test::load(record);
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &work, 0);
    ASSERT_EQ(loaded, 1);
    HWND window = ui_test::windowOf(test.id());
    ASSERT_TRUE(window);
    // The last unit is created first and gets 100.
    for (size_t i = 1; i <= 5; ++i) {
        HWND control = ui_test::unitHandle(test.id(), test.unitId(i));
        ASSERT_TRUE(control) << i;
        EXPECT_EQ(GetParent(control), window);
        EXPECT_EQ(GetDlgCtrlID(control), static_cast<int>(100 + 10 * (5 - i))) << i;
    }
    // Z-order (and so tab order) follows the template: unit 1 on top.
    std::vector<HWND> order;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) order.push_back(child);
    ASSERT_EQ(order.size(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(order[i], ui_test::unitHandle(test.id(), test.unitId(i + 1))) << i;
    // The timer exists but never shows; the others do.
    EXPECT_FALSE(IsWindowVisible(ui_test::unitHandle(test.id(), test.unitId(1))));
    EXPECT_TRUE(IsWindowVisible(ui_test::unitHandle(test.id(), test.unitId(5))));
    EXPECT_TRUE(IsWindowVisible(window));
    // Window defaults: centred, fixed frame, caption with system menu and
    // minimise box, no maximise box.
    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, 300);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 300) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 200) / 2);
    DestroyWindow(window);
    EXPECT_EQ(ui_test::windowOf(test.id()), nullptr);
    EXPECT_EQ(record.load, nullptr);
}

TEST(Loader, EventsWaitUntilTheUnitsExistAndEventZeroComesBeforeTheWindowShows) {
    ui_test::resetSlots();
    ui_test::TestWindow test = programLike();
    EventLog log;
    log.record(test, {3, 4, 10});
    bool visibleInCreated = true;
    int32_t blockInCreated = -1;
    test.bind(0, 0, 5);
    gSlots[5] = [&](const uint32_t*, uint32_t) {
        log.events.push_back(0);
        visibleInCreated = IsWindowVisible(ui_test::windowOf(test.id())) != FALSE;
        blockInCreated = rt::RuntimeApp::instance().eventBlockCount.load();
        return HandlerResult::none();
    };
    WindowRecord& record = test.install();
    ASSERT_EQ(ui_test::load(record), 1);
    // The moves and sizes of the creation itself were blocked: 3 and 4 come
    // after 0; showing raises 10 (and the system may report a move and a
    // size of the shown window after that).
    ASSERT_GE(log.events.size(), 4u);
    EXPECT_EQ(std::vector<int32_t>(log.events.begin(), log.events.begin() + 4), (std::vector<int32_t>{0, 3, 4, 10}));
    EXPECT_FALSE(visibleInCreated);
    EXPECT_EQ(blockInCreated, 0);
    EXPECT_EQ(rt::RuntimeApp::instance().eventBlockCount.load(), 0);

    // Loading it again only brings it forward: no second event 0.
    ASSERT_EQ(ui_test::load(record), 1);
    EXPECT_EQ(std::count(log.events.begin(), log.events.end(), 0), 1);
    DestroyWindow(ui_test::windowOf(test.id()));
}

TEST(Loader, AWindowDestroyedInEventZeroGetsNoEventsThreeAndFour) {
    ui_test::resetSlots();
    ui_test::TestWindow test = programLike();
    EventLog log;
    log.record(test, {2, 3, 4});
    test.bind(0, 0, 5);
    gSlots[5] = [&](const uint32_t*, uint32_t) {
        log.events.push_back(0);
        destroyWindow(test.id(), true);
        return HandlerResult::none();
    };
    WindowRecord& record = test.install();
    EXPECT_EQ(ui_test::load(record), 1);
    EXPECT_EQ(log.events, (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(ui_test::windowOf(test.id()), nullptr);
    EXPECT_EQ(record.load, nullptr);
    // The per-load copy went; the template record loads again.
    EXPECT_EQ(ui_test::load(record), 1);
    EXPECT_EQ(log.events.back(), 2);
    EXPECT_EQ(ui_test::windowOf(test.id()), nullptr);
}

TEST(Loader, CloseQueriesRunTwelveThenOneAndAFalseAnswerKeepsTheWindow) {
    ui_test::resetSlots();
    ui_test::TestWindow test;
    std::vector<int32_t> asked;
    std::optional<uint32_t> answer12, answer1;
    test.bind(0, 12, 0);
    test.bind(0, 1, 1);
    gSlots[0] = [&](const uint32_t*, uint32_t) {
        asked.push_back(12);
        return answer12 ? HandlerResult::of(*answer12) : HandlerResult::none();
    };
    gSlots[1] = [&](const uint32_t*, uint32_t) {
        asked.push_back(1);
        return answer1 ? HandlerResult::of(*answer1) : HandlerResult::none();
    };
    WindowRecord& record = test.install();
    ASSERT_EQ(ui_test::load(record), 1);
    HWND window = ui_test::windowOf(test.id());

    answer12 = 0;
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(asked, (std::vector<int32_t>{12}));

    answer12.reset();
    answer1 = 0;
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(asked, (std::vector<int32_t>{12, 12, 1}));

    // A handler that returns nothing lets the window close.
    answer1.reset();
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(asked, (std::vector<int32_t>{12, 12, 1, 12, 1}));
}

TEST(Loader, ATooHighPropertyVersionFailsTheLoadAndLeavesNoWindow) {
    ui_test::resetSlots();
    auto versioned = [](std::vector<uint8_t> bytes, uint32_t version) {
        memcpy(bytes.data(), &version, 4);
        return bytes;
    };
    const std::vector<std::pair<uint32_t, std::vector<uint8_t>>> cases = {
        {ui_test::kLabelClassId, versioned(blockBytes(LabelBlock{}), 3)},
        {ui_test::kDrawPanelClassId, versioned(blockBytes(DrawPanelBlock{}), 2)},
        {ui_test::kTimerClassId, versioned(blockBytes(TimerBlock{}), 2)},
        {ui_test::kTransLabelClassId, versioned(blockBytes(TransLabelBlock{}), 2)},
    };
    for (const auto& [classId, data] : cases) {
        ui_test::TestWindow test = programLike();
        WindowBlock block;
        block.title = "版本过高" + std::to_string(classId);
        test.setWindowData(blockBytes(block));
        bool created = false;
        test.bind(0, 0, 0);
        gSlots[0] = [&](const uint32_t*, uint32_t) { created = true; return HandlerResult::none(); };
        test.add(classId, 0, 0, 10, 10, true, data);
        WindowRecord& record = test.install();
        EXPECT_EQ(ui_test::load(record), 0) << std::hex << classId;
        EXPECT_FALSE(created);
        EXPECT_EQ(record.load, nullptr);
        EXPECT_EQ(FindWindowA("RTWindow", block.title.c_str()), nullptr);
        EXPECT_EQ(rt::RuntimeApp::instance().eventBlockCount.load(), 0);
    }
}

TEST(Loader, UnknownClassesAndBadOwnersFailTheLoad) {
    ui_test::resetSlots();
    ui_test::TestWindow unknown;
    unknown.add(0x00030001, 0, 0, 10, 10, true, {});   // a library without classes
    EXPECT_EQ(ui_test::load(unknown.install()), 0);
    EXPECT_EQ(ui_test::windowOf(unknown.id()), nullptr);

    ui_test::TestWindow owned;
    EXPECT_EQ(ui::loadWindow(owned.install(), 0, reinterpret_cast<HWND>(0x1234)), 0);
    EXPECT_EQ(ui_test::windowOf(owned.id()), nullptr);
}

namespace {

// Makes, on this thread and while it lives, the creation of every window of
// one class fail at WM_CREATE, after the window's first messages: the
// window then gets WM_NCDESTROY and CreateWindowExA returns null.
class FailedCreation {
public:
    explicit FailedCreation(const char* className) {
        failingClass = className;
        hook_ = SetWindowsHookExA(WH_CBT, &intercept, nullptr, GetCurrentThreadId());
    }
    ~FailedCreation() { UnhookWindowsHookEx(hook_); }

private:
    static LRESULT CALLBACK intercept(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND) {
            const char* name = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->lpszClass;
            if (HIWORD(reinterpret_cast<uintptr_t>(name)) && strcmp(name, failingClass) == 0) {
                auto hwnd = reinterpret_cast<HWND>(wParam);
                classProc = reinterpret_cast<WNDPROC>(
                    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&failCreate)));
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static LRESULT CALLBACK failCreate(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_CREATE) return -1;
        return CallWindowProcA(classProc, hwnd, message, wParam, lParam);
    }
    static inline const char* failingClass = nullptr;
    static inline WNDPROC classProc = nullptr;
    HHOOK hook_;
};

}  // namespace

TEST(Loader, AWindowOrControlWhoseWindowFailsAtCreationFailsTheLoad) {
    ui_test::resetSlots();
    for (const char* className : {"RTWindow", "_RT_Timer", "_RT_Label", "_RT_DrawPanel", "_RT_TransLabel"}) {
        ui_test::TestWindow test = programLike();
        WindowRecord& record = test.install();
        {
            FailedCreation failing(className);
            EXPECT_EQ(ui_test::load(record), 0) << className;
        }
        EXPECT_EQ(record.load, nullptr) << className;
        EXPECT_EQ(ui_test::windowOf(test.id()), nullptr) << className;
        EXPECT_EQ(rt::RuntimeApp::instance().eventBlockCount.load(), 0);
    }
}

TEST(Loader, ModalLoadDisablesTheOtherWindowsUntilItGoes) {
    ui_test::resetSlots();
    ui_test::TestWindow first, modal;
    WindowRecord& firstRecord = first.install();
    WindowRecord& modalRecord = modal.install();
    ASSERT_EQ(ui_test::load(firstRecord), 1);
    HWND other = ui_test::windowOf(first.id());
    ASSERT_EQ(ui::loadWindow(modalRecord, 1, nullptr), 1);
    EXPECT_FALSE(IsWindowEnabled(other));
    DestroyWindow(ui_test::windowOf(modal.id()));
    EXPECT_TRUE(IsWindowEnabled(other));
    DestroyWindow(other);
}

TEST(Loader, MenuItemsBecomeAMenuBarWhoseCommandsRaiseTheItemsEvent) {
    ui_test::resetSlots();
    ui_test::TestWindow test;
    test.add(ui_test::kLabelClassId, 0, 0, 10, 10, true, {});
    UnitDescription item;
    item.id = 0x26000000 | 0x4242;
    item.classId = kMenuItemClassId;
    item.caption = "文件";
    item.menuHandler = handlerSlotOffset(2);
    test.description.units.push_back(item);
    int chosen = 0;
    gSlots[2] = [&](const uint32_t*, uint32_t) { ++chosen; return HandlerResult::none(); };
    WindowRecord& record = test.install();
    ASSERT_EQ(ui_test::load(record), 1);
    HWND window = ui_test::windowOf(test.id());
    HMENU menu = GetMenu(window);
    ASSERT_TRUE(menu);
    ASSERT_EQ(GetMenuItemCount(menu), 1);
    char caption[16] = {};
    GetMenuStringA(menu, 0, caption, sizeof caption, MF_BYPOSITION);
    EXPECT_STREQ(caption, "文件");
    SendMessageA(window, WM_COMMAND, GetMenuItemID(menu, 0), 0);
    EXPECT_EQ(chosen, 1);
    DestroyWindow(window);
}

TEST(Loader, FocusAndIdleEventsReachTheirUnits) {
    ui_test::resetSlots();
    ui_test::TestWindow test;
    size_t first = test.add(ui_test::kLabelClassId, 0, 0, 10, 10, true, {});
    size_t second = test.add(ui_test::kLabelClassId, 0, 20, 10, 10, true, {});
    std::vector<std::string> seen;
    test.bind(first, -7, 0);
    test.bind(first, -8, 1);
    test.bind(0, 7, 2);
    gSlots[0] = [&](const uint32_t*, uint32_t) { seen.push_back("got"); return HandlerResult::none(); };
    gSlots[1] = [&](const uint32_t*, uint32_t) { seen.push_back("lost"); return HandlerResult::none(); };
    uint32_t idleElapsed = 0;
    bool wantMore = true;
    gSlots[2] = [&](const uint32_t* words, uint32_t count) {
        idleElapsed = count == 1 ? words[0] : 0;
        return wantMore ? HandlerResult::of(1) : HandlerResult::none();
    };
    WindowRecord& record = test.install();
    ASSERT_EQ(ui_test::load(record), 1);
    SetFocus(ui_test::unitHandle(test.id(), test.unitId(first)));
    SetFocus(ui_test::unitHandle(test.id(), test.unitId(second)));
    EXPECT_EQ(seen, (std::vector<std::string>{"got", "lost"}));

    // Idle: a handler that asks for more keeps its window in the idle round.
    std::vector<HWND> finished;
    EXPECT_TRUE(rt::windowSystem()->fireIdleEvents(25, finished));
    EXPECT_EQ(idleElapsed, 25u);
    EXPECT_TRUE(finished.empty());
    wantMore = false;
    rt::windowSystem()->fireIdleEvents(30, finished);
    EXPECT_EQ(std::count(finished.begin(), finished.end(), ui_test::windowOf(test.id())), 1);
    DestroyWindow(ui_test::windowOf(test.id()));
}
