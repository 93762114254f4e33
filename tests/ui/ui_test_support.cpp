#include "tests/ui/ui_test_support.h"

#include "ui/unit_object.h"
#include "ui/window_loader.h"
#include "ui/window_runtime.h"

namespace ui_test {

std::function<ui::HandlerResult(const uint32_t*, uint32_t)> gSlots[kSlotCount];

namespace {

template <uint32_t Slot>
ui::HandlerResult trampoline(const uint32_t* words, uint32_t count) {
    return gSlots[Slot] ? gSlots[Slot](words, count) : ui::HandlerResult::none();
}

const ui::EventHandler kHandlerTable[kSlotCount] = {&trampoline<0>, &trampoline<1>, &trampoline<2>, &trampoline<3>,
                                                    &trampoline<4>, &trampoline<5>, &trampoline<6>, &trampoline<7>};

uint32_t gNextSerial = 0x100;

// Events reach the handlers through the runtime's fire-event service, which
// needs the window runtime installed, as a program does before start-up.
const bool gInstalled = (ui::installWindowRuntime(), true);

}  // namespace

void resetSlots() {
    for (auto& slot : gSlots) slot = nullptr;
}

TestWindow::TestWindow() {
    uint32_t serial = gNextSerial++;
    description.id = 0x52000000 | serial;
    description.headerValue1 = 11;
    ui::UnitDescription self;
    self.id = 0x06000000 | (serial << 8);
    self.classId = kWindowClassId;
    self.left = 40;
    self.top = 40;
    self.width = 300;
    self.height = 200;
    self.cursorData = {0, 0, 0, 0};
    self.stateFlags = ui::kStateVisible;
    description.units.push_back(self);
}

size_t TestWindow::add(uint32_t classId, int32_t left, int32_t top, int32_t width, int32_t height, bool visible,
                       std::vector<uint8_t> propertyData, const std::string& name) {
    ui::UnitDescription unit;
    unit.id = 0x16000000 | ((description.units[0].id & 0xFFFF00) + static_cast<uint32_t>(description.units.size()));
    unit.classId = classId;
    unit.name = name;
    unit.left = left;
    unit.top = top;
    unit.width = width;
    unit.height = height;
    unit.cursorData = {0, 0, 0, 0};
    unit.stateFlags = visible ? ui::kStateVisible : 0;
    unit.propertyData = std::move(propertyData);
    description.units.push_back(std::move(unit));
    return description.units.size() - 1;
}

void TestWindow::bind(size_t unit, int32_t event, uint32_t slot) {
    description.units.at(unit).events.push_back({event, ui::handlerSlotOffset(slot)});
}

ui::WindowRecord& TestWindow::install() {
    std::vector<uint8_t> bytes = ui::writeTemplate({description});
    ui::loadWindowTemplates(bytes.data(), static_cast<uint32_t>(bytes.size()), kHandlerTable);
    return *ui::findWindowRecord(description.id);
}

int32_t load(ui::WindowRecord& window) { return ui::loadWindow(window, 0, nullptr); }

HWND windowOf(uint32_t windowId) {
    ui::WindowRecord* window = ui::findWindowRecord(windowId);
    return window ? ui::liveWindowOf(*window) : nullptr;
}

HWND unitHandle(uint32_t windowId, uint32_t unitId) {
    ui::UnitObject* object = ui::unitObject(windowId, unitId);
    return object ? object->handle() : nullptr;
}

bool pumpUntil(const std::function<bool()>& done, int rounds) {
    for (int i = 0; i < rounds && !done(); ++i) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return done();
}

void pumpFor(int rounds) { pumpUntil([] { return false; }, rounds); }

COLORREF screenPixel(HWND hwnd, int x, int y) {
    POINT at{x, y};
    ClientToScreen(hwnd, &at);
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

}  // namespace ui_test
