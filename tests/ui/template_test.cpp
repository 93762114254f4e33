// The template format: writer and reader are each other's inverse, reads
// never pass the end, handler offsets become handler addresses, and class
// property data of a too-high version is refused.
#include <gtest/gtest.h>

#include "tests/ui/ui_test_support.h"
#include "ui/controls/property_blocks.h"
#include "ui/event_dispatch.h"
#include "ui/program_window.h"
#include "ui/template_format.h"
#include "ui/window_registry.h"

using namespace ui;

namespace {

std::vector<uint8_t> programBytes() {
    return {programWindowTemplate(), programWindowTemplate() + programWindowTemplateSize()};
}

}  // namespace

// Written down from the format, not from the writer: a writer and reader
// that agree on a wrong layout still fail here.
TEST(Template, ProgramTemplateHasItsFieldsAtFixedOffsets) {
    const std::vector<uint8_t> bytes = programBytes();
    ASSERT_EQ(bytes.size(), 1260u);
    auto wordAt = [&](size_t at) { return loadWord(bytes.data() + at); };
    auto textAt = [&](size_t at, size_t length) { return std::string(bytes.begin() + at, bytes.begin() + at + length); };
    const struct {
        size_t at;
        uint32_t value;
        const char* what;
    } words[] = {
        {0, 8, "window list length"},
        {4, 0x52012CFF, "window id"},
        {8, 0, "record slot"},
        {12, 11, "header value 1"},
        {16, 0x19012D00, "header value 2"},
        {20, 0, "text 1 length"},
        {28, 6, "unit count"},
        {32, 1224, "unit table length"},
        {36, 0x06012CFE, "first unit id"},
        {56, 0x16012D07, "last unit id"},
        {64, 123, "second unit offset"},
        {80, 881, "last unit offset"},
        {84, 119, "window record length"},
        {88, 0x00010001, "window class"},
        {118, 50, "window left"},
        {126, 371, "window width"},
        {159, 1, "window state: visible"},
        {167, 2, "window event count"},
        {171, 2, "destroyed event"},
        {175, 4, "its handler offset: slot 1"},
        {179, 0, "created event"},
        {183, 0, "its handler offset: slot 0"},
        {211, 0x00010020, "timer class"},
        {339, 1, "timer block version"},
        {343, 300000, "timer interval"},
        {828, 70, "panel left"},
        {836, 290, "panel width"},
        {901, 1, "panel block version"},
        {905, 5, "panel border"},
        {929, 12, "panel drawing mode"},
        {945, 0xFFFFFF, "panel brush colour"},
        {953, kNoColour, "panel text background"},
        {1085, 2, "label block version"},
        {1097, 5, "label border"},
        {1117, 0x0080FF, "label background"},
        {1141, 1, "label centred"},
        {1153, 60, "label font length"},
        {1157, 0xFFFFFFF4, "label font height -12"},
        {1173, 400, "label font weight"},
        {1217, 0, "label picture length"},
        {1221, 27, "status caption length"},
        {1252, 0, "label data source length"},
        {1256, 0, "label data column length"},
    };
    for (const auto& w : words) EXPECT_EQ(wordAt(w.at), w.value) << w.what << " at " << w.at;
    EXPECT_EQ(textAt(235, 18), std::string("时钟_更新下载进度", 18));
    EXPECT_EQ(textAt(811, 12), std::string("画板_进度条", 12));
    EXPECT_EQ(textAt(1225, 27), "正在获取更新程序，请等待...");

    std::vector<WindowDescription> read;
    ASSERT_TRUE(readTemplate(bytes.data(), bytes.size(), read));
    EXPECT_TRUE(read == programWindowDescription());
    EXPECT_EQ(writeTemplate(read), bytes);
}

TEST(Template, ProgramWindowHasTheSixUnitsWithTheirData) {
    std::vector<WindowDescription> read;
    ASSERT_TRUE(readTemplate(programWindowTemplate(), programWindowTemplateSize(), read));
    const WindowDescription& window = read[0];
    EXPECT_EQ(window.id, 0x52012CFFu);
    EXPECT_EQ(window.headerValue1, 11u);
    EXPECT_EQ(window.headerValue2, 0x19012D00u);
    ASSERT_EQ(window.units.size(), 6u);
    const uint32_t ids[6] = {0x06012CFE, 0x16012D03, 0x16012D04, 0x16012D05, 0x16012D06, 0x16012D07};
    const uint32_t classes[6] = {0x00010001, 0x00010020, 0x00020005, 0x00020005, 0x00010008, 0x0001000A};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(window.units[i].id, ids[i]) << i;
        EXPECT_EQ(window.units[i].classId, classes[i]) << i;
        EXPECT_EQ(window.units[i].cursorData, std::vector<uint8_t>(4, 0)) << i;
    }
    EXPECT_TRUE(window.units[0].propertyData.empty());
    EXPECT_EQ(window.units[5].name, "标签_下载信息");
    EXPECT_EQ(window.units[4].left, 70);
    EXPECT_EQ(window.units[4].width, 290);
    EXPECT_EQ(window.units[1].stateFlags & kStateVisible, 0u);

    TimerBlock timer;
    ASSERT_TRUE(readBlockData(window.units[1].propertyData.data(), int32_t(window.units[1].propertyData.size()), timer));
    EXPECT_EQ(timer.interval, 300000);

    LabelBlock label;
    ASSERT_TRUE(readBlockData(window.units[5].propertyData.data(), int32_t(window.units[5].propertyData.size()), label));
    EXPECT_EQ(label.caption, "正在获取更新程序，请等待...");
    EXPECT_EQ(label.backgroundColour, 0x0080FFu);
    EXPECT_EQ(label.border, 5u);
    EXPECT_EQ(label.horizontalAlignment, 1u);
    ASSERT_EQ(label.font.size(), 60u);
    LOGFONTA font;
    memcpy(&font, label.font.data(), 60);
    EXPECT_EQ(font.lfHeight, -12);
    EXPECT_EQ(font.lfWeight, 400);
    EXPECT_EQ(font.lfCharSet, 134);
    EXPECT_EQ(font.lfFaceName[0], 0);

    TransLabelBlock caption;
    ASSERT_TRUE(readBlockData(window.units[3].propertyData.data(), int32_t(window.units[3].propertyData.size()), caption));
    EXPECT_EQ(caption.caption, "下载进度：");
    EXPECT_EQ(caption.textColour, 0x808080u);
    memcpy(&font, caption.font.data(), 60);
    EXPECT_EQ(font.lfWeight, 700);
}

TEST(Template, EveryShortenedTemplateFailsToRead) {
    std::vector<uint8_t> bytes = programBytes();
    size_t before = windowRegistry().windows.size();
    for (size_t length = 0; length < bytes.size(); ++length) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(length));
        std::vector<WindowDescription> read;
        EXPECT_FALSE(readTemplate(cut.data(), cut.size(), read)) << "length " << length;
        EXPECT_FALSE(loadWindowTemplates(cut.data(), static_cast<uint32_t>(cut.size()), nullptr)) << length;
    }
    EXPECT_EQ(windowRegistry().windows.size(), before);
}

TEST(Template, CorruptCountsAndOffsetsFailInsteadOfReadingPastTheEnd) {
    ui_test::TestWindow test;
    test.add(ui_test::kLabelClassId, 0, 0, 10, 10, true, {});
    std::vector<uint8_t> good = writeTemplate({test.description});
    // The unit count sits after the window list (4 + 8) and the two header
    // values and the two empty texts (16).
    const size_t unitCountAt = 12 + 16;
    std::vector<uint8_t> bad = good;
    bad[unitCountAt] = 200;
    EXPECT_FALSE(loadWindowTemplates(bad.data(), uint32_t(bad.size()), nullptr));
    // The first unit offset (after the 4-byte table length and 2 ids).
    bad = good;
    bad[unitCountAt + 4 + 4 + 8 + 2] = 0x7F;
    EXPECT_FALSE(loadWindowTemplates(bad.data(), uint32_t(bad.size()), nullptr));
    EXPECT_EQ(findWindowRecord(test.id()), nullptr);
}

TEST(Template, MenuItemRecordsRoundTrip) {
    ui_test::TestWindow test;
    UnitDescription item;
    item.id = 0x26000000 | 0x777;
    item.classId = kMenuItemClassId;
    item.name = "菜单";
    item.itemData = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    item.caption = "文件";
    item.menuHandler = 8;
    test.description.units.push_back(item);
    std::vector<uint8_t> bytes = writeTemplate({test.description});
    std::vector<WindowDescription> read;
    ASSERT_TRUE(readTemplate(bytes.data(), bytes.size(), read));
    EXPECT_TRUE(read[0] == test.description);
}

TEST(Template, HandlerOffsetsBecomeTheRoutinesOfTheHandlerTable) {
    ui_test::resetSlots();
    int called = -1;
    ui_test::gSlots[0] = [&](const uint32_t*, uint32_t) { called = 0; return HandlerResult::none(); };
    ui_test::gSlots[3] = [&](const uint32_t* words, uint32_t count) {
        called = 3;
        return HandlerResult::of(count == 2 ? words[0] + words[1] : 0);
    };
    ui_test::TestWindow test;
    size_t label = test.add(ui_test::kLabelClassId, 0, 0, 10, 10, true, {});
    test.bind(0, 0, 0);   // offset 0 is a valid handler: the first slot
    test.bind(0, 5, 3);
    test.description.units[label].events.push_back({1, kNoHandler});
    test.install();

    EventRequest request{test.id(), 0, 5, 2, {40, 2}, 0, 0};
    EXPECT_EQ(raiseEvent(request), 1);
    EXPECT_EQ(called, 3);
    EXPECT_EQ(request.hasResult, 1u);
    EXPECT_EQ(request.result, 42u);

    EventRequest first{test.id(), test.unitId(0), 0, 0, {}, 0, 0};
    EXPECT_EQ(raiseEvent(first), 1);
    EXPECT_EQ(called, 0);
    EXPECT_EQ(first.hasResult, 0u);

    // -1: bound to nothing; an event without binding: nothing either.
    EventRequest unbound{test.id(), test.unitId(label), 1, 0, {}, 0, 0};
    EXPECT_EQ(raiseEvent(unbound), 0);
    EXPECT_EQ(unbound.hasResult, 0u);
    EventRequest missing{test.id(), test.unitId(label), 9, 0, {}, 0, 0};
    EXPECT_EQ(raiseEvent(missing), 0);
}

TEST(Template, LinkedUnitsShareTheBindingsOfTheirOwnClassOnly) {
    ui_test::resetSlots();
    std::vector<int> calls;
    ui_test::gSlots[1] = [&](const uint32_t*, uint32_t) { calls.push_back(1); return HandlerResult::none(); };
    ui_test::gSlots[2] = [&](const uint32_t*, uint32_t) { calls.push_back(2); return HandlerResult::none(); };
    ui_test::TestWindow test;
    size_t owner = test.add(ui_test::kLabelClassId, 0, 0, 10, 10, true, {});
    size_t sameClass = test.add(ui_test::kLabelClassId, 0, 0, 10, 10, true, {});
    size_t otherClass = test.add(ui_test::kDrawPanelClassId, 0, 0, 10, 10, true, {});
    test.bind(owner, 3, 1);
    test.bind(otherClass, 3, 2);
    test.description.units[sameClass].eventSourceLink = test.unitId(owner);
    test.description.units[otherClass].eventSourceLink = test.unitId(owner);
    test.install();

    EventRequest viaLink{test.id(), test.unitId(sameClass), 3, 0, {}, 0, 0};
    EXPECT_EQ(raiseEvent(viaLink), 1);
    EventRequest own{test.id(), test.unitId(otherClass), 3, 0, {}, 0, 0};
    EXPECT_EQ(raiseEvent(own), 1);
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));
}

TEST(Template, TypedEventsPassSixtyFourBitValuesAsTwoWords) {
    ui_test::resetSlots();
    std::vector<uint32_t> seen;
    uint32_t sourceWindow = 0, sourceUnit = 0;
    ui_test::gSlots[4] = [&](const uint32_t* words, uint32_t count) {
        seen.assign(words, words + count);
        currentEventSource(sourceWindow, sourceUnit);
        return HandlerResult::of(0x123456789ull);
    };
    ui_test::TestWindow test;
    test.bind(0, 6, 4);
    test.install();
    TypedEventRequest request{};
    request.windowId = test.id();
    request.event = 6;
    request.argumentCount = 3;
    request.arguments[0] = {7, 0, 0x80000301u, 0};            // integer: one word
    request.arguments[1] = {0xAAAA, 0xBBBB, 0x80000401u, 0};  // 64-bit: two words
    request.arguments[2] = {0x5000, 0, 0x80000004u, 1};       // by address
    EXPECT_EQ(raiseTypedEvent(request), 1);
    EXPECT_EQ(seen, (std::vector<uint32_t>{7, 0xAAAA, 0xBBBB, 0x5000}));
    EXPECT_EQ(request.hasResult, 1u);
    EXPECT_EQ(request.resultLo, 0x23456789u);
    EXPECT_EQ(request.resultHi, 1u);
    // The source is the window's own unit while the handler ran, cleared after.
    EXPECT_EQ(sourceWindow, test.id());
    EXPECT_EQ(sourceUnit, test.unitId(0));
    currentEventSource(sourceWindow, sourceUnit);
    EXPECT_EQ(sourceWindow, 0u);
}

TEST(PropertyBlocks, VersionsAboveTheHighestAreRefused) {
    auto withVersion = [](std::vector<uint8_t> bytes, uint32_t version) {
        memcpy(bytes.data(), &version, 4);
        return bytes;
    };
    LabelBlock label;
    EXPECT_TRUE(readBlockData(withVersion(blockBytes(label), 2).data(), int32_t(blockBytes(label).size()), label));
    std::vector<uint8_t> high = withVersion(blockBytes(LabelBlock{}), 3);
    EXPECT_FALSE(readBlockData(high.data(), int32_t(high.size()), label));
    high = withVersion(blockBytes(DrawPanelBlock{}), 2);
    DrawPanelBlock panel;
    EXPECT_FALSE(readBlockData(high.data(), int32_t(high.size()), panel));
    high = withVersion(blockBytes(TimerBlock{}), 2);
    TimerBlock timer;
    EXPECT_FALSE(readBlockData(high.data(), int32_t(high.size()), timer));
    high = withVersion(blockBytes(TransLabelBlock{}), 2);
    TransLabelBlock trans;
    EXPECT_FALSE(readBlockData(high.data(), int32_t(high.size()), trans));
}

TEST(PropertyBlocks, OlderLabelDataHasNoDataSourceTexts) {
    // Version 1 ends with the caption; reading it must not take the bytes
    // that follow for the data source.
    LabelBlock block;
    block.caption = "旧";
    std::vector<uint8_t> bytes = blockBytes(block);
    bytes.resize(bytes.size() - 8);   // drop the two empty counted texts
    uint32_t one = 1;
    memcpy(bytes.data(), &one, 4);
    LabelBlock read;
    ASSERT_TRUE(readBlockData(bytes.data(), int32_t(bytes.size()), read));
    EXPECT_EQ(read.caption, "旧");
    // Without the version-2 texts, data claiming version 2 is short.
    uint32_t two = 2;
    memcpy(bytes.data(), &two, 4);
    EXPECT_FALSE(readBlockData(bytes.data(), int32_t(bytes.size()), read));
}
