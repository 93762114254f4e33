// This program's window: identifiers, the handler table the application
// fills, and the window template built from the description in
// program_window.cpp.
//
// Binding (see event_handler.h): the program header's code base is the
// address of an array `ui::EventHandler[kProgramHandlerSlotCount]`, indexed
// by ProgramHandlerSlot. The template binds
//   kWindowCreated   (window_control.h) -> slot kSlotStartUpdate      (startUpdate)
//   kWindowDestroyed (window_control.h) -> slot kSlotWindowDestroyed  (windowDestroyed: marks closing)
//   kTimerElapsed    (timer.h)          -> slot kSlotRefreshProgress  (refreshProgress)
// A null slot leaves its event unbound (a probe can load the window with an
// all-null table).
//
// The program's header and start routine then read, for example:
//   const ui::EventHandler kHandlers[ui::kProgramHandlerSlotCount] = {&onCreated, &onDestroyed, &onTimer};
//   extern "C" const rt::ProgramHeader rtProgramHeader = {
//       .runMode = rt::kProgramRunMode, ..., .codeBase = kHandlers, ...,
//       .windowTemplate = ui::programWindowTemplate(),
//       .windowTemplateSize = ui::programWindowTemplateSize(), ...};
//   ui::installWindowRuntime();   // in the start routine, before runtime start-up
#pragma once

#include <cstdint>
#include <vector>

#include "ui/event_handler.h"
#include "ui/template_format.h"

namespace ui {

constexpr uint32_t kProgressWindowId = 0x52012CFF;
constexpr uint32_t kUnitProgressWindow = 0x06012CFE;     // the window's own unit
constexpr uint32_t kUnitRefreshTimer = 0x16012D03;       // 时钟_更新下载进度
constexpr uint32_t kUnitInfoCaption = 0x16012D04;        // 透明标签2 "下载信息："
constexpr uint32_t kUnitProgressCaption = 0x16012D05;    // 透明标签1 "下载进度："
constexpr uint32_t kUnitProgressPanel = 0x16012D06;      // 画板_进度条
constexpr uint32_t kUnitInfoLabel = 0x16012D07;          // 标签_下载信息

enum ProgramHandlerSlot : uint32_t {
    kSlotStartUpdate = 0,
    kSlotWindowDestroyed = 1,
    kSlotRefreshProgress = 2,
    kProgramHandlerSlotCount = 3,
};

// The template bytes (read-only data of the program) and their size.
const uint8_t* programWindowTemplate();
uint32_t programWindowTemplateSize();
// The description the template is written from.
std::vector<WindowDescription> programWindowDescription();

}  // namespace ui
