#include "ui/window_registry.h"

#include "ui/byte_stream.h"
#include "ui/event_handler.h"
#include "ui/unit_object.h"

namespace ui {

namespace {

// Handler offsets -> handler addresses, in place.
void makeHandlersAbsolute(UnitTable& table, const void* codeBase) {
    auto resolve = [codeBase](uint32_t offset) -> uint32_t {
        if (static_cast<int32_t>(offset) == kNoHandler || !codeBase) return 0;
        auto slot = reinterpret_cast<const EventHandler*>(static_cast<const uint8_t*>(codeBase) + offset);
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(*slot));
    };
    for (uint32_t i = 0; i < table.unitCount; ++i) {
        UnitLocation unit;
        if (!table.locateIndex(i, unit)) continue;
        if (unit.menuItem) {
            storeWord(unit.bindings, resolve(loadWord(unit.bindings)));
            continue;
        }
        uint32_t count = loadWord(unit.bindings);
        for (uint32_t b = 0; b < count; ++b) {
            uint8_t* handler = unit.bindings + 4 + 8 * b + 4;
            storeWord(handler, resolve(loadWord(handler)));
        }
    }
}

}  // namespace

UnitObject* UnitLocation::object() const {
    return objectSlot ? reinterpret_cast<UnitObject*>(static_cast<uintptr_t>(loadWord(objectSlot))) : nullptr;
}
void UnitLocation::setObject(UnitObject* object) const {
    if (objectSlot) storeWord(objectSlot, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(object)));
}
HCURSOR UnitLocation::cursor() const {
    return cursorSlot ? reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(loadWord(cursorSlot))) : nullptr;
}
void UnitLocation::setCursor(HCURSOR cursor) const {
    if (cursorSlot) storeWord(cursorSlot, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(cursor)));
}
UnitDescription UnitLocation::describe() const {
    UnitDescription unit;
    readUnitRecord(id, record, length, unit);
    return unit;
}

uint32_t UnitTable::unitId(uint32_t index) const {
    return index < unitCount && bytes.size() >= 4ull * (index + 1) ? loadWord(bytes.data() + 4 * index) : 0;
}

bool UnitTable::locate(uint32_t id, UnitLocation& out) {
    if (id == 0) return locateIndex(0, out);
    for (uint32_t i = 0; i < unitCount; ++i)
        if (unitId(i) == id) return locateIndex(i, out);
    return false;
}

bool UnitTable::locateIndex(uint32_t index, UnitLocation& out) {
    size_t begin = 0, length = 0;
    if (!unitRecordBounds(bytes, unitCount, index, begin, length)) return false;
    UnitLocation u;
    u.index = index;
    u.id = unitId(index);
    u.record = bytes.data() + begin;
    u.length = length;
    u.menuItem = isMenuItemIdentifier(u.id);
    UnitDescription fields;
    UnitRecordLayout layout;
    if (!readUnitRecord(u.id, u.record, length, fields, &layout)) return false;
    u.bindings = u.record + layout.bindings;
    if (!u.menuItem) {
        u.objectSlot = u.record + layout.objectSlot;
        u.geometry = u.record + layout.geometry;
        u.cursorSlot = u.record + layout.cursorSlot;
        u.stateFlags = u.record + layout.stateFlags;
    }
    out = u;
    return true;
}

WindowRecord* WindowRegistry::find(uint32_t windowId) {
    // The first window is the usual one.
    if (!windows.empty() && windows.front()->id == windowId) return windows.front().get();
    for (auto& window : windows)
        if (window->id == windowId) return window.get();
    return nullptr;
}

void WindowRegistry::clear() {
    windows.clear();
    eventWindowId = eventUnitId = 0;
}

WindowRegistry& windowRegistry() {
    // Never destroyed: the runtime object's destructor (a static object
    // constructed before this one) still empties it at process exit.
    static WindowRegistry* registry = new WindowRegistry;
    return *registry;
}

bool loadWindowTemplates(const uint8_t* data, uint32_t size, const void* codeBase) {
    std::vector<StoredWindow> stored;
    if (!data || !readStoredWindows(data, size, stored)) return false;
    std::vector<std::unique_ptr<WindowRecord>> records;
    for (StoredWindow& s : stored) {
        auto record = std::make_unique<WindowRecord>();
        record->id = s.id;
        record->headerValue1 = s.headerValue1;
        record->headerValue2 = s.headerValue2;
        record->text1 = std::move(s.text1);
        record->text2 = std::move(s.text2);
        record->units.unitCount = s.unitCount;
        record->units.bytes = std::move(s.unitTable);
        // Every record must be addressable before handler words are rewritten.
        for (uint32_t i = 0; i < record->units.unitCount; ++i) {
            UnitLocation unit;
            if (!record->units.locateIndex(i, unit)) return false;
        }
        makeHandlersAbsolute(record->units, codeBase);
        records.push_back(std::move(record));
    }
    WindowRegistry& registry = windowRegistry();
    for (auto& record : records) registry.windows.push_back(std::move(record));
    return true;
}

WindowRecord* findWindowRecord(uint32_t windowId) { return windowRegistry().find(windowId); }

bool findUnitRecord(WindowRecord& window, uint32_t unitId, UnitLocation& out) {
    UnitTable& table = window.load ? window.load->units : window.units;
    return table.locate(unitId, out);
}

UnitObject* unitObject(uint32_t windowId, uint32_t unitId) {
    WindowRecord* window = findWindowRecord(windowId);
    if (!window || !window->load) return nullptr;
    UnitLocation unit;
    if (!window->load->units.locate(unitId, unit)) return nullptr;
    UnitObject* object = unit.object();
    return object && object->handle() && IsWindow(object->handle()) ? object : nullptr;
}

HWND liveWindowOf(const WindowRecord& window) {
    HWND hwnd = window.liveWindow.load();
    return hwnd && IsWindow(hwnd) ? hwnd : nullptr;
}

}  // namespace ui
