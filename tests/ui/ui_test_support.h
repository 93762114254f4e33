// Windows built from small test templates inside the test process: handlers
// are slots of a handler table whose routines the tests set, and the
// message pump runs until a condition holds (with a generous cap on rounds,
// never a time limit on the behaviour itself).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/event_handler.h"
#include "ui/template_format.h"
#include "ui/window_registry.h"

namespace ui_test {

constexpr uint32_t kWindowClassId = 0x00010001;
constexpr uint32_t kDrawPanelClassId = 0x00010008;
constexpr uint32_t kLabelClassId = 0x0001000A;
constexpr uint32_t kTimerClassId = 0x00010020;
constexpr uint32_t kTransLabelClassId = 0x00020005;

constexpr uint32_t kSlotCount = 8;
// The routine each handler slot calls (empty: returns no value).
extern std::function<ui::HandlerResult(const uint32_t* words, uint32_t count)> gSlots[kSlotCount];
void resetSlots();

// A window description with unique identifiers: unit 0 is the window
// (visible, 300 x 200, start position from the window defaults).
struct TestWindow {
    ui::WindowDescription description;

    TestWindow();
    uint32_t id() const { return description.id; }
    uint32_t unitId(size_t index) const { return description.units.at(index).id; }
    // Adds a control; returns its index.
    size_t add(uint32_t classId, int32_t left, int32_t top, int32_t width, int32_t height, bool visible,
               std::vector<uint8_t> propertyData, const std::string& name = "");
    void bind(size_t unit, int32_t event, uint32_t slot);
    void setWindowData(std::vector<uint8_t> data) { description.units[0].propertyData = std::move(data); }
    // Writes the template and reads it into the registry with the test
    // handler table as code base.
    ui::WindowRecord& install();
};

// Loads the window (mode 0, no owner): loadWindow's result.
int32_t load(ui::WindowRecord& window);
HWND windowOf(uint32_t windowId);
HWND unitHandle(uint32_t windowId, uint32_t unitId);

// Handles messages until `done` is true or `rounds` rounds of 20 ms passed;
// returns `done()`.
bool pumpUntil(const std::function<bool()>& done, int rounds = 500);
void pumpFor(int rounds);

// The colour at a client point of `hwnd`, read back from the screen.
COLORREF screenPixel(HWND hwnd, int x, int y);

}  // namespace ui_test
