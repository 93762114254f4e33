// Turning a window of the registry into a live window with its controls.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/gdi_object.h"
#include "ui/window_registry.h"

namespace ui {

// Creates the window and its controls; 1 on success, 0 on failure (nothing
// is left behind). `mode` 1 makes the window modal: every other loaded
// top-level window is disabled until it goes.
int32_t loadWindow(WindowRecord& window, int32_t mode, HWND owner);

// Called from the window's WM_NCDESTROY: re-enables what a modal load
// disabled, drops the per-load copy and lets the runtime end the program
// when this was the last window.
void windowDestroyed(uint32_t windowId);

// Menu items become a menu bar whose command identifiers are this base plus
// the item's unit index; a menu command raises the item's event.
constexpr uint32_t kMenuCommandBase = 0x7000;
bool raiseMenuCommand(uint32_t windowId, uint32_t commandId);

// The deferred destruction of the destroy-window command.
void markForDestruction(uint32_t windowId);
bool windowMarkedForDestruction(uint32_t windowId);

// The standard pointers of cursor-data codes 1 to 14 (null for others).
HCURSOR standardCursor(int32_t code);
// The pointer of a unit's cursor data: a standard one by its code, or code
// -1 followed by a cursor image, made here and owned by the result. Empty
// for no data or an unknown code (the class's pointer).
UnitCursor cursorFromData(const std::vector<uint8_t>& data);

}  // namespace ui
