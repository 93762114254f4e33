// The control classes: timer start/stop, property get/set with clamping,
// the save operation, persistent drawing and the transparent label's refresh.
#include <gtest/gtest.h>

#include "runtime/address_word.h"
#include "runtime/heap.h"
#include "tests/ui/ui_test_support.h"
#include "ui/class_registry.h"
#include "ui/controls/draw_panel.h"
#include "ui/controls/property_blocks.h"
#include "ui/controls/timer.h"
#include "ui/program_window.h"
#include "ui/properties.h"
#include "ui/unit_object.h"
#include "ui/window_requests.h"

using namespace ui;
using ui_test::gSlots;

namespace {

uint32_t text(const char* t) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(t)); }
std::string takeText(uint64_t value) {
    auto t = reinterpret_cast<char*>(static_cast<uintptr_t>(value));
    std::string s = t ? t : "";
    rt::rtFree(t);
    return s;
}

struct Loaded {
    ui_test::TestWindow test;
    explicit Loaded(ui_test::TestWindow t) : test(std::move(t)) {
        WindowRecord& record = test.install();
        EXPECT_EQ(ui_test::load(record), 1);
    }
    ~Loaded() {
        if (HWND window = ui_test::windowOf(test.id())) DestroyWindow(window);
    }
    uint32_t id() const { return test.id(); }
    uint32_t unit(size_t i) const { return test.unitId(i); }
    HWND handle(size_t i) const { return ui_test::unitHandle(test.id(), test.unitId(i)); }
};

}  // namespace

TEST(TimerControl, StartsStopsAndChangesWithTheInterval) {
    ui_test::resetSlots();
    ui_test::TestWindow test;
    size_t timerUnit = test.add(ui_test::kTimerClassId, 0, 0, 10, 10, false, blockBytes(TimerBlock{.interval = 0}));
    int ticks = 0;
    test.bind(timerUnit, 0, 0);
    gSlots[0] = [&](const uint32_t*, uint32_t) { ++ticks; return HandlerResult::none(); };
    Loaded window(std::move(test));
    auto timer = dynamic_cast<Timer*>(unitObject(window.id(), window.unit(timerUnit)));
    ASSERT_TRUE(timer);

    // Interval 0: created stopped.
    ui_test::pumpFor(10);
    EXPECT_EQ(ticks, 0);
    EXPECT_FALSE(timer->running());

    writeUnitProperty(window.id(), window.unit(timerUnit), 8, -1, 30);
    EXPECT_TRUE(timer->running());
    EXPECT_TRUE(ui_test::pumpUntil([&] { return ticks >= 3; }));

    writeUnitProperty(window.id(), window.unit(timerUnit), 8, -1, 40);
    EXPECT_EQ(readUnitProperty(window.id(), window.unit(timerUnit), 8), 40u);
    EXPECT_TRUE(timer->running());

    // A tick already queued when the timer stops raises nothing.
    PostMessageA(window.handle(timerUnit), WM_TIMER, Timer::kSystemTimerId, 0);
    writeUnitProperty(window.id(), window.unit(timerUnit), 8, -1, 0);
    EXPECT_FALSE(timer->running());
    int stoppedAt = ticks;
    ui_test::pumpFor(10);
    EXPECT_EQ(ticks, stoppedAt);

    // A negative interval counts as 0.
    writeUnitProperty(window.id(), window.unit(timerUnit), 8, -1, static_cast<uint32_t>(-5));
    EXPECT_EQ(readUnitProperty(window.id(), window.unit(timerUnit), 8), 0u);
    EXPECT_FALSE(timer->running());
}

TEST(LabelControls, PropertiesAreStoredClampedAndReadBack) {
    ui_test::resetSlots();
    ui_test::TestWindow test;
    size_t label = test.add(ui_test::kLabelClassId, 10, 10, 100, 20, true, {});
    size_t trans = test.add(ui_test::kTransLabelClassId, 10, 40, 100, 20, true, {});
    Loaded window(std::move(test));
    uint32_t id = window.id(), l = window.unit(label), t = window.unit(trans);

    // Defaults when the unit has no property data.
    EXPECT_EQ(takeText(readUnitProperty(id, l, 8)), "标签");
    EXPECT_EQ(takeText(readUnitProperty(id, t, 8)), "透明标签");
    EXPECT_EQ(readUnitProperty(id, l, 26), 1u);
    EXPECT_EQ(readUnitProperty(id, l, 17), 0xFF000000u);

    writeUnitProperty(id, l, 8, -1, text("新标题"));
    EXPECT_EQ(takeText(readUnitProperty(id, l, 8)), "新标题");
    char windowText[32] = {};
    GetWindowTextA(window.handle(label), windowText, sizeof windowText);
    EXPECT_STREQ(windowText, "新标题");

    const std::vector<std::tuple<uint32_t, int32_t, uint32_t, uint32_t>> clamps = {
        {l, 9, 7, 3}, {l, 9, static_cast<uint32_t>(-1), 0},  // effect
        {l, 10, 9, 0},                                       // border out of range: none
        {l, 10, 6, 6},
        {l, 11, 3, 5},                                       // gradient border width at least 5
        {l, 24, 5, 2}, {l, 26, 9, 2}, {l, 25, 7, 1},          // alignments, word wrap
        {t, 9, 7, 3}, {t, 9, static_cast<uint32_t>(-1), 0},  // effect
        {t, 12, 4, 2}, {t, 14, 3, 2}, {t, 13, 2, 1},
        {t, 11, 0x123456, 0x123456},                         // text colour
    };
    for (const auto& [unit, property, written, expected] : clamps) {
        writeUnitProperty(id, unit, property, -1, written);
        EXPECT_EQ(readUnitProperty(id, unit, property), expected) << "unit " << unit << " property " << property;
    }
    // Unknown class property numbers: ignored by set, 0 from get.
    writeUnitProperty(id, t, 40, -1, 5);
    EXPECT_EQ(readUnitProperty(id, t, 40), 0u);
}

TEST(LabelControls, FontPartsChangeOnePartOfTheFont) {
    ui_test::resetSlots();
    ui_test::TestWindow test;
    size_t label = test.add(ui_test::kLabelClassId, 10, 10, 100, 20, true, {});
    Loaded window(std::move(test));
    uint32_t id = window.id(), l = window.unit(label);
    const int32_t font = 15;
    auto logFont = [&] {
        auto byteSet = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(readUnitProperty(id, l, font)));
        LOGFONTA out{};
        EXPECT_EQ(rt::byteSetLength(byteSet), 60u);
        if (rt::byteSetLength(byteSet) == 60) memcpy(&out, rt::byteSetData(byteSet), 60);
        rt::rtFree(byteSet);
        return out;
    };
    EXPECT_EQ(readUnitProperty(id, l, font), 0u);   // empty: the default GUI font
    writeUnitProperty(id, l, font, 1, 1);
    EXPECT_EQ(logFont().lfWeight, 700);
    writeUnitProperty(id, l, font, 0, 3700);
    EXPECT_EQ(logFont().lfEscapement, 100);
    writeUnitProperty(id, l, font, 3, 1);
    EXPECT_EQ(logFont().lfUnderline, 1);
    writeUnitProperty(id, l, font, 6, text(""));
    EXPECT_STREQ(logFont().lfFaceName, "宋体");
    writeUnitProperty(id, l, font, 6, text("Tahoma"));
    EXPECT_STREQ(logFont().lfFaceName, "Tahoma");
    EXPECT_EQ(takeText(readUnitProperty(id, l, font, 6)), "Tahoma");
    EXPECT_EQ(logFont().lfWeight, 700);   // earlier parts stay
}

TEST(CommonProperties, GeometryVisibilityAndTagsOfLiveAndUnloadedWindows) {
    ui_test::resetSlots();
    ui_test::TestWindow test;
    size_t label = test.add(ui_test::kLabelClassId, 10, 12, 100, 20, true, {});
    test.description.units[label].tag = "标记";
    WindowRecord& record = test.install();
    uint32_t id = test.id(), l = test.unitId(label);
    // Not loaded: the template's values.
    EXPECT_EQ(readUnitProperty(id, l, 1), 12u);
    EXPECT_EQ(readUnitProperty(id, l, 5), 1u);
    EXPECT_EQ(takeText(readUnitProperty(id, l, 4)), "标记");
    ASSERT_EQ(ui_test::load(record), 1);
    EXPECT_EQ(readUnitProperty(id, l, 0), 10u);
    EXPECT_EQ(readUnitProperty(id, l, 2), 100u);
    writeUnitProperty(id, l, 0, -1, 30);
    writeUnitProperty(id, l, 3, -1, 25);
    EXPECT_EQ(readUnitProperty(id, l, 0), 30u);
    EXPECT_EQ(readUnitProperty(id, l, 1), 12u);
    EXPECT_EQ(readUnitProperty(id, l, 3), 25u);
    writeUnitProperty(id, l, 5, -1, 0);
    EXPECT_EQ(readUnitProperty(id, l, 5), 0u);
    EXPECT_FALSE(IsWindowVisible(ui_test::unitHandle(id, l)));
    writeUnitProperty(id, l, 6, -1, 1);
    EXPECT_FALSE(IsWindowEnabled(ui_test::unitHandle(id, l)));
    writeUnitProperty(id, l, 4, -1, text("新标记"));
    EXPECT_EQ(takeText(readUnitProperty(id, l, 4)), "新标记");
    DestroyWindow(ui_test::windowOf(id));
}

namespace {

// Cursor data of code -1 followed by a cursor image: hot spot, then a
// 16 x 16 monochrome bitmap (colour and mask halves).
std::vector<uint8_t> madeCursorData() {
    constexpr int kSide = 16, kRowBytes = 4;
    std::vector<uint8_t> data = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    BITMAPINFOHEADER header{sizeof header, kSide, 2 * kSide, 1, 1, BI_RGB, 0, 0, 0, 0, 0};
    RGBQUAD palette[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    auto append = [&](const void* bytes, size_t length) {
        data.insert(data.end(), static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + length);
    };
    append(&header, sizeof header);
    append(palette, sizeof palette);
    data.insert(data.end(), kSide * kRowBytes, 0x00);   // colour
    data.insert(data.end(), kSide * kRowBytes, 0xFF);   // mask
    return data;
}

bool cursorAlive(HCURSOR cursor) {
    ICONINFO info{};
    if (!GetIconInfo(cursor, &info)) return false;
    DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    return true;
}

}  // namespace

TEST(CommonProperties, APointerMadeFromCursorDataGoesWhenReplacedAndWithItsWindow) {
    ui_test::resetSlots();
    ui_test::TestWindow test;
    size_t label = test.add(ui_test::kLabelClassId, 10, 10, 100, 20, true, {});
    Loaded window(std::move(test));
    uint32_t id = window.id(), l = window.unit(label);
    WindowRecord* windowRecord = findWindowRecord(id);
    ASSERT_NE(windowRecord, nullptr);
    auto record = [&] {
        UnitLocation unit;
        EXPECT_TRUE(findUnitRecord(*windowRecord, l, unit));
        return unit;
    };
    const UnitDescription before = record().describe();
    auto setPointer = [&](const std::vector<uint8_t>& data) {
        uint8_t* byteSet = rt::makeByteSet(data.data(), data.size());
        writeUnitProperty(id, l, kCommonCursor, -1, rt::wordOf(byteSet));
        rt::rtFree(byteSet);
        // The record keeps the pointer in its own slot and nothing else changes.
        EXPECT_EQ(record().cursor(), unitObject(id, l)->cursor());
        const UnitDescription now = record().describe();
        EXPECT_TRUE(now == before) << "parent " << now.parent << ", state " << now.stateFlags << ", left " << now.left;
        return unitObject(id, l)->cursor();
    };
    HCURSOR first = setPointer(madeCursorData());
    ASSERT_TRUE(cursorAlive(first));
    HCURSOR arrow = setPointer({1, 0, 0, 0});
    EXPECT_EQ(arrow, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_FALSE(cursorAlive(first));
    HCURSOR second = setPointer(madeCursorData());
    ASSERT_TRUE(cursorAlive(second));
    DestroyWindow(ui_test::windowOf(id));
    EXPECT_FALSE(cursorAlive(second));
    EXPECT_TRUE(cursorAlive(arrow));   // a system pointer is never destroyed
}

TEST(FontFace, IsOfferedAndWrittenBackCutToThirtyOneBytes) {
    struct Case { std::string_view face, replacement, stored; };
    const std::string longName(40, 'x');
    for (const Case& c : {Case{"宋体", "宋体", "宋体"}, Case{"Arial", "SimHei", "SimHei"},
                          Case{"Tahoma", "Arial", "Arial"},
                          Case{"Tahoma", longName, std::string_view(longName).substr(0, 31)}}) {
        std::vector<uint8_t> font = logFontBytes({.height = -12, .weight = 700, .face = c.face});
        std::vector<uint8_t> expected = logFontBytes({.height = -12, .weight = 700, .face = c.stored});
        std::string offered;
        EXPECT_TRUE(visitFontFace(font, [&](std::string& face) { offered = face; face = c.replacement; }));
        EXPECT_EQ(offered, c.face);
        EXPECT_EQ(font, expected) << c.replacement;  // the rest of the face bytes are zeros
    }
    std::vector<uint8_t> notAFont(kLogFontSize - 1, 'a');
    EXPECT_FALSE(visitFontFace(notAFont, [](std::string&) { ADD_FAILURE() << "visited"; }));
}

TEST(SaveOperation, WritesBackTheBytesItWasCreatedFrom) {
    ui_test::resetSlots();
    // The program's own window: its units' data are of the highest versions.
    static bool installed = false;
    if (!installed) {
        ASSERT_TRUE(loadWindowTemplates(programWindowTemplate(), programWindowTemplateSize(), nullptr));
        installed = true;
    }
    WindowRecord* record = findWindowRecord(kProgressWindowId);
    ASSERT_TRUE(record);
    ASSERT_EQ(ui_test::load(*record), 1);
    std::vector<WindowDescription> described = programWindowDescription();
    for (size_t i = 1; i < 6; ++i) {
        const UnitDescription& unit = described[0].units[i];
        UnitObject* object = unitObject(kProgressWindowId, unit.id);
        ASSERT_TRUE(object) << i;
        const ClassDescription* description = findClass(unit.classId);
        ASSERT_TRUE(description);
        SaveRoutine save = saveRoutine(*description);
        ASSERT_TRUE(save);
        EXPECT_EQ(save(object), unit.propertyData) << unit.name;
    }
    // The window unit had none: it saves its defaults, which read back equal.
    WindowBlock defaults, read;
    std::vector<uint8_t> saved = saveRoutine(*findClass(0x00010001))(unitObject(kProgressWindowId, 0));
    ASSERT_TRUE(readBlockData(saved.data(), int32_t(saved.size()), read));
    EXPECT_TRUE(read == defaults);
    DestroyWindow(ui_test::windowOf(kProgressWindowId));
}

TEST(DrawPanelControl, DrawingSurvivesARepaintOnlyWithAutoRedraw) {
    ui_test::resetSlots();
    ui_test::TestWindow test;
    DrawPanelBlock block;
    block.backgroundColour = 0x00FFFFFF;   // white
    size_t panel = test.add(ui_test::kDrawPanelClassId, 10, 10, 120, 40, true, blockBytes(block));
    Loaded window(std::move(test));
    uint32_t id = window.id(), p = window.unit(panel);
    HWND hwnd = window.handle(panel);
    UpdateWindow(ui_test::windowOf(id));
    const COLORREF white = RGB(255, 255, 255), red = RGB(255, 0, 0);
    // The system shows what was drawn once the thread handles its messages.
    auto repaint = [&] {
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        ui_test::pumpFor(2);
    };
    repaint();
    ASSERT_EQ(ui_test::screenPixel(hwnd, 20, 20), white);

    for (bool autoRedraw : {false, true}) {
        writeUnitProperty(id, p, 12, -1, autoRedraw ? 1 : 0);
        writeUnitProperty(id, p, 19, -1, 0x0000FF);   // brush red
        ui_test::pumpFor(2);                           // the setters' repaint
        clearPanel(id, p);
        // Corners in any order.
        fillPanelRect(id, p, 60, 30, 5, 5);
        ui_test::pumpFor(2);
        EXPECT_EQ(ui_test::screenPixel(hwnd, 20, 20), red) << "drawn, auto-redraw " << autoRedraw;
        repaint();
        EXPECT_EQ(ui_test::screenPixel(hwnd, 20, 20), autoRedraw ? red : white) << "auto-redraw " << autoRedraw;
        EXPECT_EQ(ui_test::screenPixel(hwnd, 80, 20), white);
    }

    // Equal left and right still fill a one-pixel column.
    clearPanel(id, p);
    fillPanelRect(id, p, 90, 0, 90, 40);
    repaint();
    EXPECT_EQ(ui_test::screenPixel(hwnd, 90, 10), red);
    EXPECT_EQ(ui_test::screenPixel(hwnd, 91, 10), white);
    EXPECT_EQ(ui_test::screenPixel(hwnd, 89, 10), white);

    // Text goes on from where the last text ended.
    clearPanel(id, p);
    writePanelText(id, p, 2, 2, {"W"});
    writePanelText(id, p, std::nullopt, std::nullopt, {"W"});
    repaint();
    // Black ink of both Ws, the second right of the first.
    auto inkColumns = [&](int from, int to) {
        int count = 0;
        for (int x = from; x < to; ++x)
            for (int y = 2; y < 20; ++y)
                if (ui_test::screenPixel(hwnd, x, y) == RGB(0, 0, 0)) {
                    ++count;
                    break;
                }
        return count;
    };
    int first = inkColumns(2, 14), beyond = inkColumns(14, 40);
    EXPECT_GT(first, 0);
    EXPECT_GT(beyond, 0);
    // The drawable size is the client size (pixels).
    EXPECT_EQ(readUnitProperty(id, p, 23), 120u);
    EXPECT_EQ(readUnitProperty(id, p, 24), 40u);
}

TEST(DrawPanelControl, EverySetterStoresItsClampedValueAndRepaints) {
    ui_test::resetSlots();
    ui_test::TestWindow test;
    size_t panel = test.add(ui_test::kDrawPanelClassId, 10, 10, 120, 40, true, {});
    Loaded window(std::move(test));
    uint32_t id = window.id(), p = window.unit(panel);
    HWND hwnd = window.handle(panel);
    struct Case {
        int32_t property, index;
        uint32_t written, expected;
    };
    const Case cases[] = {
        {8, -1, 3, 3},   {8, -1, 9, 0},                                    // border; out of range: none
        {9, -1, 0x00FF00, 0x00FF00},   {11, -1, 7, 2},                     // background colour, picture mode
        {12, -1, 1, 1},  {12, -1, 0, 0},   {13, -1, 9, 5},                 // auto-redraw both ways, unit
        {14, -1, 9, 6},  {15, -1, 20, 15}, {15, -1, static_cast<uint32_t>(-1), 0},   // pen style, drawing mode
        {16, -1, 40000, 32767},        {17, -1, 0x0000FF, 0x0000FF},       // pen width, pen colour
        {18, -1, 60, 55},              {19, -1, 0x00FF00, 0x00FF00},       // brush style, brush colour
        {20, -1, 0x123456, 0x123456},  {21, -1, 0x654321, 0x654321},       // text colour, text background
        {22, 1, 1, 1},                                                     // font: bold
    };
    for (const Case& c : cases) {
        ValidateRect(hwnd, nullptr);
        writeUnitProperty(id, p, c.property, c.index, c.written);
        EXPECT_EQ(readUnitProperty(id, p, c.property, c.index), c.expected) << "property " << c.property;
        RECT pending{};
        EXPECT_TRUE(GetUpdateRect(hwnd, &pending, FALSE)) << "no repaint after property " << c.property;
    }
}

TEST(TransLabelControl, AShorterCaptionLeavesNoTraceOfTheLongerOne) {
    ui_test::resetSlots();
    ui_test::TestWindow test;
    WindowBlock background;
    background.backgroundColour = 0x00FFFF00;   // cyan
    test.setWindowData(blockBytes(background));
    TransLabelBlock block;
    block.caption = "WWWWWWWWWWWWWWWW";
    size_t label = test.add(ui_test::kTransLabelClassId, 10, 10, 200, 24, true, blockBytes(block));
    Loaded window(std::move(test));
    HWND hwnd = window.handle(label);
    RedrawWindow(ui_test::windowOf(window.id()), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    const COLORREF cyan = RGB(0, 255, 255);
    auto nonBackground = [&](int from, int to) {
        int count = 0;
        for (int x = from; x < to; ++x)
            for (int y = 0; y < 24; ++y)
                if (ui_test::screenPixel(hwnd, x, y) != cyan) ++count;
        return count;
    };
    // The window shows through around the text.
    EXPECT_EQ(ui_test::screenPixel(hwnd, 199, 1), cyan);
    ASSERT_GT(nonBackground(40, 120), 0);
    writeUnitProperty(window.id(), window.unit(label), 8, -1, text("W"));
    ui_test::pumpFor(5);
    EXPECT_EQ(nonBackground(40, 120), 0);
    EXPECT_GT(nonBackground(0, 20), 0);
}
