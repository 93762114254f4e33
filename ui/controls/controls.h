// The control classes of the core library and the extended-UI library.
#pragma once

#include "ui/class_registry.h"

namespace ui {

extern const ClassDescription kWindowClass;      // core 1: "RTWindow"
extern const ClassDescription kMenuItemClass;    // core 3: menu items (no window)
extern const ClassDescription kDrawPanelClass;   // core 8: "_RT_DrawPanel"
extern const ClassDescription kLabelClass;       // core 10: "_RT_Label"
extern const ClassDescription kTimerClass;       // core 32: "_RT_Timer"
extern const ClassDescription kTransLabelClass;  // extended UI 5

}  // namespace ui
