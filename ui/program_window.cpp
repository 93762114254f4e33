// This program's one window, described field by field and written into the
// template bytes while the program is compiled (the writer runs in constant
// evaluation), so the template is never a hand-typed byte dump.
#include "ui/program_window.h"

#include <array>

#include "ui/controls/property_blocks.h"
#include "ui/controls/timer.h"
#include "ui/controls/window_control.h"
#include "ui/template_format.h"

namespace ui {

namespace {

constexpr uint32_t kWindowClassId = 0x00010001;
constexpr uint32_t kDrawPanelClassId = 0x00010008;
constexpr uint32_t kLabelClassId = 0x0001000A;
constexpr uint32_t kTimerClassId = 0x00010020;
constexpr uint32_t kTransLabelClassId = 0x00020005;

constexpr uint32_t kGrey = 0x808080;
constexpr uint32_t kOrange = 0x0080FF;     // red 255, green 128, blue 0
constexpr int32_t kTwelvePixels = -12;
constexpr uint8_t kGb2312CharSet = 134;

// Every unit of this window carries a pointer code of 0: no own pointer.
constexpr std::vector<uint8_t> noOwnPointer() { return {0, 0, 0, 0}; }

constexpr UnitDescription control(uint32_t id, uint32_t classId, const char* name, int32_t left, int32_t top,
                                  int32_t width, int32_t height, bool visible) {
    UnitDescription unit;
    unit.id = id;
    unit.classId = classId;
    unit.name = name;
    unit.left = left;
    unit.top = top;
    unit.width = width;
    unit.height = height;
    unit.cursorData = noOwnPointer();
    unit.stateFlags = visible ? kStateVisible : 0;
    return unit;
}

constexpr std::vector<uint8_t> captionFont(int32_t weight) {
    // No face name: the system picks its 12-pixel GB2312 font.
    return logFontBytes({.height = kTwelvePixels, .weight = weight, .charSet = kGb2312CharSet, .face = ""});
}

constexpr TransLabelBlock greyBoldCaption(const char* caption) {
    TransLabelBlock block;
    block.effect = 0;
    block.textColour = kGrey;
    block.horizontalAlignment = 0;
    block.verticalAlignment = 1;
    block.wordWrap = 0;
    block.font = captionFont(700);
    block.caption = caption;
    return block;
}

// The bar: a sunken panel the application paints itself.
constexpr UnitDescription progressPanel() {
    UnitDescription panel = control(kUnitProgressPanel, kDrawPanelClassId, "画板_进度条", 70, 8, 290, 20, true);
    DrawPanelBlock bar;
    bar.border = 5;
    bar.backgroundColour = kNoColour;
    bar.pictureMode = 1;
    bar.autoRedraw = 0;
    bar.coordinateUnit = 0;
    bar.penStyle = 1;
    bar.drawingMode = 12;
    bar.penWidth = 0;
    bar.penColour = 0;
    bar.brushStyle = 1;
    bar.brushColour = 0xFFFFFF;
    bar.textColour = 0;
    bar.textBackground = kNoColour;
    panel.propertyData = blockBytes(bar);
    return panel;
}

// The status line: centred text on orange in a sunken frame.
constexpr UnitDescription statusLabel() {
    UnitDescription status = control(kUnitInfoLabel, kLabelClassId, "标签_下载信息", 70, 33, 290, 20, true);
    LabelBlock label;
    label.effect = 0;
    label.border = 5;
    label.textColour = 0;
    label.backgroundColour = kOrange;
    label.pictureMode = 1;
    label.gradientMode = 0;
    label.horizontalAlignment = 1;
    label.verticalAlignment = 1;
    label.wordWrap = 0;
    label.font = captionFont(400);
    label.caption = "正在获取更新程序，请等待...";
    status.propertyData = blockBytes(label);
    return status;
}

constexpr WindowDescription progressWindow() {
    WindowDescription window;
    window.id = kProgressWindowId;
    window.headerValue1 = 11;
    window.headerValue2 = 0x19012D00;

    // The window: no class property data, so it takes the window defaults
    // (centred, fixed frame, caption bar with system menu and minimise box).
    UnitDescription self = control(kUnitProgressWindow, kWindowClassId, "", 50, 50, 371, 98, true);
    self.events = {{kWindowDestroyed, handlerSlotOffset(kSlotWindowDestroyed)},
                   {kWindowCreated, handlerSlotOffset(kSlotStartUpdate)}};
    window.units.push_back(self);

    UnitDescription timer = control(kUnitRefreshTimer, kTimerClassId, "时钟_更新下载进度", 8, 8, 26, 26, false);
    timer.events = {{kTimerElapsed, handlerSlotOffset(kSlotRefreshProgress)}};
    timer.propertyData = blockBytes(TimerBlock{.interval = 300000});
    window.units.push_back(timer);

    UnitDescription info = control(kUnitInfoCaption, kTransLabelClassId, "透明标签2", 8, 33, 59, 20, true);
    info.propertyData = blockBytes(greyBoldCaption("下载信息："));
    window.units.push_back(info);

    UnitDescription progress = control(kUnitProgressCaption, kTransLabelClassId, "透明标签1", 8, 8, 59, 20, true);
    progress.propertyData = blockBytes(greyBoldCaption("下载进度："));
    window.units.push_back(progress);

    window.units.push_back(progressPanel());
    window.units.push_back(statusLabel());
    return window;
}

constexpr std::vector<WindowDescription> programWindows() { return {progressWindow()}; }

constexpr size_t kTemplateSize = writeTemplate(programWindows()).size();

constexpr std::array<uint8_t, kTemplateSize> kTemplate = [] {
    std::vector<uint8_t> bytes = writeTemplate(programWindows());
    std::array<uint8_t, kTemplateSize> out{};
    for (size_t i = 0; i < kTemplateSize; ++i) out[i] = bytes[i];
    return out;
}();

}  // namespace

const uint8_t* programWindowTemplate() { return kTemplate.data(); }
uint32_t programWindowTemplateSize() { return static_cast<uint32_t>(kTemplate.size()); }
std::vector<WindowDescription> programWindowDescription() { return programWindows(); }

}  // namespace ui
