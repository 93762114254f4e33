// What the runtime core needs from the window and control runtime. The core
// knows windows only through this interface; the window runtime installs
// its implementation at start-up (before the template is read). Until one is
// installed every query answers "nothing loaded".
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rt {

// A draw panel's area to clear; a left-out side takes the client area's.
struct PanelArea {
    std::optional<int32_t> left, top, width, height;
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // Read the template into the registry; false when it can't be read.
    virtual bool loadTemplates(const uint8_t* data, uint32_t size, const void* codeBase) = 0;
    // Free every window record (shutdown).
    virtual void clearRegistry() = 0;
    virtual void* registry() = 0;                       // request 1001
    virtual void* classInfo(uint32_t classId) = 0;      // request 1002
    virtual uint32_t classKind(uint32_t classId) = 0;   // request 2029
    // Request 2005: (window identifier, owner, mode) -> 0 or -1.
    virtual int32_t loadWindow(uint32_t windowId, void* owner, int32_t mode) = 0;
    virtual void* unitObject(uint32_t windowId, uint32_t unitId) = 0;     // 2006
    virtual int32_t fireEvent(void* eventRecord) = 0;                     // 2008
    virtual int32_t callRoutine(void* callRecord) = 0;                    // 2031
    virtual void unitDestroyed(uint32_t windowId, uint32_t unitId) = 0;   // 2000
    virtual uint32_t classOfUnit(uint32_t windowId, uint32_t unitId) = 0; // 2022
    virtual uint32_t windowCount() = 0;                                   // 2032
    virtual HWND windowHandle(uint32_t windowIndex) = 0;                  // 2033
    virtual bool isLoadedUnitWindow(HWND hwnd) = 0;                       // 1014
    // True while some window of the registry is loaded and its window exists.
    virtual bool anyWindowLoaded() = 0;
    // The idle event (7) to every loaded window not in `finished`; returns
    // true when some handler asked for more idle time.
    virtual bool fireIdleEvents(uint32_t elapsedMs, std::vector<HWND>& finished) = 0;

    // Names for runtime-error messages. False: not found.
    virtual bool windowTagText(uint32_t windowId, std::string& tag) = 0;
    // unitId 0 is the window's own unit. False: no such unit, or a menu item.
    virtual bool unitTagText(uint32_t windowId, uint32_t unitId, std::string& tag) = 0;

    // Runtime-service entries 4 and 5: unit property access.
    virtual uint64_t readUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t index) = 0;
    virtual void writeUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t index,
                                   uint32_t lo, uint32_t hi) = 0;
    // Auxiliary services 4 and 5: properties of a library-type value.
    virtual uint64_t readValueProperty(uint32_t type, void* value, int32_t property) = 0;
    virtual void writeValueProperty(uint32_t type, void* value, int32_t property, void* cell) = 0;

    // The window and draw-panel commands. Callable from any thread: each
    // runs on the thread of the window it addresses and returns once it has
    // taken effect. unitId 0 is the window's own unit.
    // Destroys the window, at once or (atOnce false) when its thread handles
    // the destroy mark; nothing happens when it isn't loaded.
    virtual void destroyWindow(uint32_t windowId, bool atOnce) = 0;
    // The unit's live window, or null (not loaded, or no window of its own).
    virtual HWND unitWindowHandle(uint32_t windowId, uint32_t unitId) = 0;
    // Drawing methods 1, 9 and 17 of a draw panel. A panel that isn't found
    // is a runtime error.
    virtual void clearPanel(uint32_t windowId, uint32_t unitId, const PanelArea& area) = 0;
    virtual void fillPanelRect(uint32_t windowId, uint32_t unitId, int32_t left, int32_t top, int32_t right,
                               int32_t bottom) = 0;
    virtual void writePanelText(uint32_t windowId, uint32_t unitId, std::optional<int32_t> x,
                                std::optional<int32_t> y, const std::vector<std::string>& texts) = 0;
};

void installWindowSystem(WindowSystem* system);
WindowSystem* windowSystem();   // nullptr until installed

// Window identifiers have bits 24 to 27 equal to 2.
constexpr bool isWindowIdentifier(uint32_t id) { return ((id >> 24) & 0xF) == 2; }

}  // namespace rt
