#include "ui/template_format.h"

#include <algorithm>

namespace ui {

bool readStoredWindows(const uint8_t* data, size_t size, std::vector<StoredWindow>& out) {
    ByteReader r(data, size);
    std::vector<uint8_t> list;
    if (!r.counted(list) || list.size() % 8 != 0) return false;
    size_t count = list.size() / 8;
    ByteReader ids(list.data(), list.size());
    std::vector<StoredWindow> windows(count);
    for (StoredWindow& window : windows) ids.u32(window.id);
    for (StoredWindow& window : windows) {
        if (!r.u32(window.headerValue1) || !r.u32(window.headerValue2) || !r.countedText(window.text1) ||
            !r.countedText(window.text2) || !r.u32(window.unitCount) || !r.counted(window.unitTable))
            return false;
        if (window.unitTable.size() / 8 < window.unitCount) return false;
    }
    out = std::move(windows);
    return true;
}

bool unitRecordBounds(const std::vector<uint8_t>& table, uint32_t unitCount, uint32_t index, size_t& begin,
                      size_t& length) {
    if (index >= unitCount || table.size() / 8 < unitCount) return false;
    ByteReader offsets(table.data() + 4 * (unitCount + index), 4);
    uint32_t offset = 0;
    offsets.u32(offset);
    size_t start = 8ull * unitCount + offset;
    if (start > table.size()) return false;
    ByteReader r(table.data() + start, table.size() - start);
    uint32_t recordLength = 0;
    if (!r.u32(recordLength) || recordLength > r.remaining()) return false;
    begin = start + 4;
    length = recordLength;
    return true;
}

namespace {

// The tail of a menu-item record: item data, caption, the handler word.
bool readMenuItemFields(ByteReader& r, UnitDescription& u, UnitRecordLayout& layout) {
    std::vector<uint8_t> item;
    if (r.raw(u.itemData.size(), item)) std::copy(item.begin(), item.end(), u.itemData.begin());
    r.zeroTerminated(u.caption);
    layout.bindings = r.position();
    r.i32(u.menuHandler);
    return r.ok();
}

// The place of a unit among its siblings: object slot, rectangle, cursor
// slot, parent, children and cursor data.
bool readPlacementFields(ByteReader& r, UnitDescription& u, UnitRecordLayout& layout) {
    uint32_t slot = 0, childCount = 0;
    layout.objectSlot = r.position();
    r.u32(slot);
    layout.geometry = r.position();
    r.i32(u.left);
    r.i32(u.top);
    r.i32(u.width);
    r.i32(u.height);
    layout.cursorSlot = r.position();
    r.u32(slot);
    r.u32(u.parent);
    r.u32(childCount);
    if (childCount > r.remaining() / 4) return false;
    u.children.resize(childCount);
    for (uint32_t& child : u.children) r.u32(child);
    return r.counted(u.cursorData);
}

// Tag, state flags and event bindings, then the class property data.
bool readBehaviourFields(ByteReader& r, UnitDescription& u, UnitRecordLayout& layout) {
    uint32_t eventCount = 0;
    r.zeroTerminated(u.tag);
    r.u32(u.reservedAfterTag);
    layout.stateFlags = r.position();
    r.u32(u.stateFlags);
    r.u32(u.reservedAfterState);
    layout.bindings = r.position();
    r.u32(eventCount);
    if (eventCount > r.remaining() / 8) return false;
    u.events.resize(eventCount);
    for (EventBinding& binding : u.events) {
        r.i32(binding.event);
        r.i32(binding.handlerOffset);
    }
    if (!r.ok()) return false;
    // A record that ends within the reserved bytes has no property data.
    std::vector<uint8_t> reserved;
    r.raw(std::min(r.remaining(), u.reservedBeforeData.size()), reserved);
    std::copy(reserved.begin(), reserved.end(), u.reservedBeforeData.begin());
    r.raw(r.remaining(), u.propertyData);
    return r.ok();
}

}  // namespace

bool readUnitRecord(uint32_t id, const uint8_t* record, size_t length, UnitDescription& u,
                    UnitRecordLayout* layout) {
    ByteReader r(record, length);
    UnitRecordLayout found;
    u = UnitDescription{};
    u.id = id;
    r.u32(u.classId);
    r.u32(u.eventSourceLink);
    for (uint32_t& v : u.reserved) r.u32(v);
    r.zeroTerminated(u.name);
    r.zeroTerminated(u.secondName);
    bool read = isMenuItemIdentifier(id)
                    ? readMenuItemFields(r, u, found)
                    : readPlacementFields(r, u, found) && readBehaviourFields(r, u, found);
    if (read && layout) *layout = found;
    return read;
}

bool readTemplate(const uint8_t* data, size_t size, std::vector<WindowDescription>& out) {
    std::vector<StoredWindow> stored;
    if (!readStoredWindows(data, size, stored)) return false;
    std::vector<WindowDescription> windows;
    for (const StoredWindow& s : stored) {
        WindowDescription window{s.id, s.headerValue1, s.headerValue2, s.text1, s.text2, {}};
        ByteReader ids(s.unitTable.data(), s.unitTable.size());
        for (uint32_t i = 0; i < s.unitCount; ++i) {
            uint32_t id = 0;
            ids.u32(id);
            size_t begin = 0, length = 0;
            UnitDescription unit;
            if (!unitRecordBounds(s.unitTable, s.unitCount, i, begin, length) ||
                !readUnitRecord(id, s.unitTable.data() + begin, length, unit))
                return false;
            window.units.push_back(std::move(unit));
        }
        windows.push_back(std::move(window));
    }
    out = std::move(windows);
    return true;
}

}  // namespace ui
