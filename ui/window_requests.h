// Requests on windows and controls by (window identifier, unit identifier),
// callable from any thread. Each one runs on the thread of the window it
// addresses (runtime/thread_call.h): a worker's requests take effect in the
// order issued, and each call returns once its request has taken effect. The
// window is looked up on the main thread, which owns the registry; a request
// from another thread for a window that is no longer loaded does not run.
// Unit identifier 0 is the window's own unit.
//
// The built-in window and draw-panel commands reach these through the
// runtime's window-system interface, as do the runtime-service entries 4 and
// 5 (unit property read and write).
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runtime/window_system.h"

namespace ui {

// --- Windows -------------------------------------------------------------

// Destroys the window `windowId`. With atOnce false the window is marked and
// the private message kMsgDestroyMarked is posted to it; its thread destroys
// it when it handles the message, without asking the close queries. With
// atOnce true it is destroyed before the call returns. Nothing happens when
// the window isn't loaded. When the last window goes after start-up the
// program ends.
constexpr UINT kMsgDestroyMarked = 0x8065;
void destroyWindow(uint32_t windowId, bool atOnce);

// The live window handle of a unit (unit 0: the window), or null when the
// window isn't loaded or the unit has no window of its own.
HWND unitWindowHandle(uint32_t windowId, uint32_t unitId);

// --- Unit properties -----------------------------------------------------

// Property numbers as the application sees them: 0 left, 1 top, 2 width,
// 3 height, 4 tag text, 5 visible, 6 disabled, 7 mouse pointer, 8 and above
// the class's own properties. Values travel as two words (low, high):
// integers, colours and choices in the low word; logical values 0 or 1;
// texts as the address of a zero-terminated text (a read returns a new text
// of the runtime heap, owned by the caller; a write copies the caller's
// text); pictures, pointers and fonts as a byte set (same ownership rules).
// `index` is -1, or for a font property the part: 0 rotation (tenths of a
// degree), 1 bold, 2 italic, 3 underline, 4 strike-out, 5 size, 6 face name.
// Failures are the runtime errors of the property services.
uint64_t readUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t index = -1);
void writeUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t index, uint32_t lo,
                       uint32_t hi = 0);

// --- Draw panel drawing methods ----------------------------------------------

// Method 1: fills the area (default: the whole client area) with the
// background colour and moves the text position to its top-left corner.
using PanelArea = rt::PanelArea;
void clearPanel(uint32_t windowId, uint32_t unitId, const PanelArea& area = {});

// Method 9: fills the rectangle (corners in any order, widened to at least
// one device pixel each way) with the panel's brush.
void fillPanelRect(uint32_t windowId, uint32_t unitId, int32_t left, int32_t top, int32_t right, int32_t bottom);

// Method 17: draws the texts one after another from (x, y) (default: the
// current text position) in the text colour, text background and font; the
// text position moves past the output. The caller turns its values into
// texts (code page 936) first.
void writePanelText(uint32_t windowId, uint32_t unitId, std::optional<int32_t> x, std::optional<int32_t> y,
                    const std::vector<std::string>& texts);

}  // namespace ui
