// The window registry: every window of the template, as read at start-up,
// plus the per-load copy of the window's unit table while it is loaded.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/gdi_object.h"
#include "ui/template_format.h"

namespace ui {

class UnitObject;

// Where a unit record and the words read and written in place lie inside a
// unit table (see UnitRecordLayout).
struct UnitLocation {
    uint32_t index = 0;
    uint32_t id = 0;
    uint8_t* record = nullptr;        // after the length word
    size_t length = 0;
    uint8_t* objectSlot = nullptr;    // null for menu items, as the next three
    uint8_t* geometry = nullptr;      // left, top, width, height
    uint8_t* cursorSlot = nullptr;
    uint8_t* stateFlags = nullptr;
    uint8_t* bindings = nullptr;      // event count, then the pairs; menu items: the handler word
    bool menuItem = false;

    UnitObject* object() const;
    void setObject(UnitObject* object) const;
    HCURSOR cursor() const;
    void setCursor(HCURSOR cursor) const;
    UnitDescription describe() const;  // decoded copy of the record
};

struct UnitTable {
    uint32_t unitCount = 0;
    std::vector<uint8_t> bytes;

    uint32_t unitId(uint32_t index) const;
    // unitId 0: unit 0. False when not found.
    bool locate(uint32_t unitId, UnitLocation& out);
    bool locateIndex(uint32_t index, UnitLocation& out);
};

// The state of a loaded window (the per-load copy and what the load set up).
struct LoadedWindow {
    UnitTable units;
    HWND window = nullptr;
    HMENU menu = nullptr;
    HACCEL accelerators = nullptr;
    bool modal = false;
    bool fullyLoaded = false;
    bool destroyMarked = false;
    std::vector<std::pair<HWND, bool>> disabledByModal;   // (window, was enabled)
    std::map<uint32_t, std::string> tags;                  // tag texts written at run time
    std::map<uint32_t, std::vector<uint8_t>> cursorData;   // pointers written at run time
    std::map<uint32_t, UnitCursor> cursors;                // the units' pointers: made ones go with the load
};

struct WindowRecord {
    uint32_t id = 0;
    uint32_t headerValue1 = 0, headerValue2 = 0;
    std::string text1, text2;
    UnitTable units;                     // handler addresses already absolute
    std::unique_ptr<LoadedWindow> load;  // while loaded
    // The live window handle, readable from any thread.
    std::atomic<HWND> liveWindow{nullptr};
};

class WindowRegistry {
public:
    std::vector<std::unique_ptr<WindowRecord>> windows;
    uint32_t eventWindowId = 0, eventUnitId = 0;   // current event source

    WindowRecord* find(uint32_t windowId);
    void clear();
};

WindowRegistry& windowRegistry();

// Reads the whole template; false when it can't be read (nothing is added).
bool loadWindowTemplates(const uint8_t* data, uint32_t size, const void* codeBase);
WindowRecord* findWindowRecord(uint32_t windowId);
// In the per-load copy while loaded, else in the template record.
bool findUnitRecord(WindowRecord& window, uint32_t unitId, UnitLocation& out);
// The live object of a unit, or null when the window isn't loaded or the
// unit has no live window.
UnitObject* unitObject(uint32_t windowId, uint32_t unitId);
// The window's own window when loaded and existing, else null.
HWND liveWindowOf(const WindowRecord& window);

}  // namespace ui
