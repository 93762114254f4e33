// The window runtime as the runtime core sees it (rt::WindowSystem).
#include <algorithm>

#include "runtime/runtime_app.h"
#include "runtime/window_system.h"
#include "ui/byte_stream.h"
#include "ui/class_registry.h"
#include "ui/event_dispatch.h"
#include "ui/unit_object.h"
#include "ui/window_loader.h"
#include "ui/window_registry.h"
#include "ui/window_requests.h"
#include "ui/window_runtime.h"

namespace ui {

namespace {

bool tagText(uint32_t windowId, uint32_t unitId, std::string& tag) {
    WindowRecord* window = findWindowRecord(windowId);
    UnitLocation unit;
    if (!window || !findUnitRecord(*window, unitId, unit) || unit.menuItem) return false;
    if (window->load) {
        auto it = window->load->tags.find(unit.id);
        if (it != window->load->tags.end()) {
            tag = it->second;
            return true;
        }
    }
    tag = unit.describe().tag;
    return true;
}

class WindowRuntime : public rt::WindowSystem {
public:
    bool loadTemplates(const uint8_t* data, uint32_t size, const void* codeBase) override {
        return loadWindowTemplates(data, size, codeBase);
    }
    void clearRegistry() override { windowRegistry().clear(); }
    void* registry() override { return &windowRegistry(); }
    void* classInfo(uint32_t classId) override { return const_cast<ClassDescription*>(findClass(classId)); }
    // 2 for a container, 1 for another class with a window of its own,
    // 0 for classes without a window or unknown ones.
    uint32_t classKind(uint32_t classId) override {
        const ClassDescription* description = findClass(classId);
        if (!description || (description->flags & kClassNoWindow)) return 0;
        return (description->flags & kClassContainer) ? 2 : 1;
    }
    int32_t loadWindow(uint32_t windowId, void* owner, int32_t mode) override {
        WindowRecord* window = findWindowRecord(windowId);
        if (!window) return -1;
        HWND ownerWindow = nullptr;
        if (owner && mode != 1) {
            ownerWindow = static_cast<fw::WindowObject*>(owner)->handle();
            if (!ownerWindow) return -1;
        }
        if (!ui::loadWindow(*window, mode, ownerWindow)) return -1;
        if (mode == 1 && liveWindowOf(*window)) {
            // The caller waits until the modal window has gone.
            rt::RuntimeApp& app = rt::RuntimeApp::instance();
            uint32_t outer = app.modalWindowId;
            app.modalWindowId = windowId;
            app.runMessageLoop(1);
            app.modalWindowId = outer;
        }
        return 0;
    }
    void* unitObject(uint32_t windowId, uint32_t unitId) override { return ui::unitObject(windowId, unitId); }
    int32_t fireEvent(void* record) override {
        return record ? raiseEvent(*static_cast<EventRequest*>(record)) : 0;
    }
    int32_t callRoutine(void* record) override {
        return record ? raiseTypedEvent(*static_cast<TypedEventRequest*>(record)) : 0;
    }
    void unitDestroyed(uint32_t windowId, uint32_t unitId) override {
        WindowRecord* window = findWindowRecord(windowId);
        UnitLocation unit;
        if (window && window->load && window->load->units.locate(unitId, unit)) unit.setObject(nullptr);
    }
    uint32_t classOfUnit(uint32_t windowId, uint32_t unitId) override {
        WindowRecord* window = findWindowRecord(windowId);
        UnitLocation unit;
        return window && findUnitRecord(*window, unitId, unit) ? loadWord(unit.record) : 0;
    }
    uint32_t windowCount() override { return static_cast<uint32_t>(windowRegistry().windows.size()); }
    HWND windowHandle(uint32_t index) override {
        auto& windows = windowRegistry().windows;
        return index < windows.size() ? liveWindowOf(*windows[index]) : nullptr;
    }
    bool isLoadedUnitWindow(HWND hwnd) override {
        auto object = dynamic_cast<UnitObject*>(fw::WindowObject::fromHandle(hwnd));
        return object && ui::unitObject(object->windowId(), object->unitId()) == object;
    }
    bool anyWindowLoaded() override {
        for (auto& window : windowRegistry().windows)
            if (liveWindowOf(*window)) return true;
        return false;
    }
    bool fireIdleEvents(uint32_t elapsedMs, std::vector<HWND>& finished) override {
        bool more = false;
        for (auto& window : windowRegistry().windows) {
            HWND hwnd = liveWindowOf(*window);
            if (!hwnd || std::find(finished.begin(), finished.end(), hwnd) != finished.end()) continue;
            EventRequest request{window->id, 0, 7, 1, {elapsedMs}, 0, 0};
            raiseEvent(request);
            if (request.hasResult && request.result) more = true;
            else finished.push_back(hwnd);
        }
        return more;
    }
    bool windowTagText(uint32_t windowId, std::string& tag) override { return tagText(windowId, 0, tag); }
    bool unitTagText(uint32_t windowId, uint32_t unitId, std::string& tag) override {
        return tagText(windowId, unitId, tag);
    }
    uint64_t readUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t index) override {
        return ui::readUnitProperty(windowId, unitId, property, index);
    }
    void writeUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t index, uint32_t lo,
                           uint32_t hi) override {
        ui::writeUnitProperty(windowId, unitId, property, index, lo, hi);
    }
    // No library type of this runtime's libraries has value properties.
    uint64_t readValueProperty(uint32_t, void*, int32_t) override { return 0; }
    void writeValueProperty(uint32_t, void*, int32_t, void*) override {}
    void destroyWindow(uint32_t windowId, bool atOnce) override { ui::destroyWindow(windowId, atOnce); }
    HWND unitWindowHandle(uint32_t windowId, uint32_t unitId) override {
        return ui::unitWindowHandle(windowId, unitId);
    }
    void clearPanel(uint32_t windowId, uint32_t unitId, const PanelArea& area) override {
        ui::clearPanel(windowId, unitId, area);
    }
    void fillPanelRect(uint32_t windowId, uint32_t unitId, int32_t left, int32_t top, int32_t right,
                       int32_t bottom) override {
        ui::fillPanelRect(windowId, unitId, left, top, right, bottom);
    }
    void writePanelText(uint32_t windowId, uint32_t unitId, std::optional<int32_t> x, std::optional<int32_t> y,
                        const std::vector<std::string>& texts) override {
        ui::writePanelText(windowId, unitId, x, y, texts);
    }
};

}  // namespace

void installWindowRuntime() {
    // Lives to the end of the process, past the static runtime object.
    static WindowRuntime* runtime = new WindowRuntime;
    rt::installWindowSystem(runtime);
}

}  // namespace ui
