// The window template: the binary description of every window of a program
// with its units (the window itself and its controls), written by the build
// from a readable description and read back at start-up.
//
// Layout (little-endian u32 throughout):
//   window list   counted bytes: N window identifiers, then N slots
//   N records     header value 1, header value 2, counted text, counted text,
//                 unit count C, counted bytes: the unit table
//   unit table    C unit identifiers, C offsets, then the unit records; record
//                 i starts at 8*C + offset[i] and is a u32 length plus bytes
// See UnitDescription for the fields of a unit record.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/byte_stream.h"

namespace ui {

// Identifier scheme: bits 0-23 serial, 24-27 kind, 28-31 sub-kind.
constexpr uint32_t identifierSerial(uint32_t id) { return id & 0xFFFFFF; }
constexpr uint32_t identifierKind(uint32_t id) { return (id >> 24) & 0xF; }
constexpr uint32_t identifierSubKind(uint32_t id) { return id >> 28; }
constexpr bool isValidIdentifier(uint32_t id) { return identifierSerial(id) != 0 && identifierKind(id) != 0; }
constexpr bool isMenuItemIdentifier(uint32_t id) { return identifierKind(id) == 6 && identifierSubKind(id) == 2; }

constexpr uint32_t kMenuItemClassId = 0x00010003;
constexpr int32_t kNoHandler = -1;

// Unit state flags.
constexpr uint32_t kStateVisible = 1;
constexpr uint32_t kStateDisabled = 2;
constexpr uint32_t kStateTabStop = 4;

struct EventBinding {
    int32_t event = 0;
    int32_t handlerOffset = kNoHandler;
    constexpr bool operator==(const EventBinding&) const = default;
};

// One unit record, field for field. Run-time slots (object, cursor) are 0 in
// the file and not part of the description.
struct UnitDescription {
    uint32_t id = 0;
    uint32_t classId = 0;
    uint32_t eventSourceLink = 0;
    std::array<uint32_t, 4> reserved{};
    std::string name;
    std::string secondName;
    // Not menu items:
    int32_t left = 0, top = 0, width = 0, height = 0;
    uint32_t parent = 0;
    std::vector<uint32_t> children;
    std::vector<uint8_t> cursorData;
    std::string tag;
    uint32_t reservedAfterTag = 0;
    uint32_t stateFlags = 0;
    uint32_t reservedAfterState = 0;
    std::vector<EventBinding> events;
    std::array<uint8_t, 20> reservedBeforeData{};
    std::vector<uint8_t> propertyData;
    // Menu items only:
    std::array<uint8_t, 12> itemData{};
    std::string caption;
    int32_t menuHandler = kNoHandler;

    constexpr bool operator==(const UnitDescription&) const = default;
};

struct WindowDescription {
    uint32_t id = 0;
    uint32_t headerValue1 = 0, headerValue2 = 0;
    std::string text1, text2;
    std::vector<UnitDescription> units;   // unit 0 is the window's own unit
    constexpr bool operator==(const WindowDescription&) const = default;
};

// Where the words that are read and written in place lie inside a unit
// record: offsets from its first byte (after the length word). A menu item
// has only `bindings`, its handler word.
struct UnitRecordLayout {
    size_t objectSlot = 0;
    size_t geometry = 0;     // left, top, width, height
    size_t cursorSlot = 0;
    size_t stateFlags = 0;
    size_t bindings = 0;     // the event count, then the (event, handler) pairs
};

// The fields of a unit record in stored order: the one list that both the
// writer (UnitRecordWriter) and the reader (in template_format.cpp) walk.
// `slot` is a run-time word, 0 in the file; `mark` notes where an in-place
// word lies; `rest` is what the record holds after the reserved bytes.
template <typename Unit, typename Io>
constexpr void unitRecordFields(Unit& u, Io& io) {
    io.word(u.classId);
    io.word(u.eventSourceLink);
    io.words(u.reserved);
    io.text(u.name);
    io.text(u.secondName);
    if (isMenuItemIdentifier(u.id)) {
        io.bytes(u.itemData);
        io.text(u.caption);
        io.mark(&UnitRecordLayout::bindings);
        io.word(u.menuHandler);
        return;
    }
    io.slot(&UnitRecordLayout::objectSlot);
    io.mark(&UnitRecordLayout::geometry);
    io.word(u.left);
    io.word(u.top);
    io.word(u.width);
    io.word(u.height);
    io.slot(&UnitRecordLayout::cursorSlot);
    io.word(u.parent);
    io.list(u.children);
    io.counted(u.cursorData);
    io.text(u.tag);
    io.word(u.reservedAfterTag);
    io.mark(&UnitRecordLayout::stateFlags);
    io.word(u.stateFlags);
    io.word(u.reservedAfterState);
    io.mark(&UnitRecordLayout::bindings);
    io.list(u.events);
    io.rest(u.reservedBeforeData, u.propertyData);
}

// Writes the fields unitRecordFields gives it.
class UnitRecordWriter {
public:
    using Mark = size_t UnitRecordLayout::*;
    constexpr void word(uint32_t v) { w_.u32(v); }
    constexpr void word(int32_t v) { w_.i32(v); }
    template <size_t N>
    constexpr void words(const std::array<uint32_t, N>& values) {
        for (uint32_t v : values) w_.u32(v);
    }
    constexpr void text(const std::string& t) { w_.zeroTerminated(t); }
    template <size_t N>
    constexpr void bytes(const std::array<uint8_t, N>& b) {
        w_.raw(b.data(), N);
    }
    constexpr void counted(const std::vector<uint8_t>& b) { w_.counted(b); }
    constexpr void list(const std::vector<uint32_t>& items) {
        w_.u32(static_cast<uint32_t>(items.size()));
        for (uint32_t v : items) w_.u32(v);
    }
    constexpr void list(const std::vector<EventBinding>& bindings) {
        w_.u32(static_cast<uint32_t>(bindings.size()));
        for (const EventBinding& b : bindings) {
            w_.i32(b.event);
            w_.i32(b.handlerOffset);
        }
    }
    template <size_t N>
    constexpr void rest(const std::array<uint8_t, N>& reserved, const std::vector<uint8_t>& data) {
        bytes(reserved);
        w_.raw(data);
    }
    constexpr void slot(Mark) { w_.u32(0); }
    constexpr void mark(Mark) {}
    constexpr std::vector<uint8_t> take() { return w_.take(); }

private:
    ByteWriter w_;
};

// The bytes of one unit record after its length word.
constexpr std::vector<uint8_t> writeUnitRecord(const UnitDescription& unit) {
    UnitRecordWriter w;
    unitRecordFields(unit, w);
    return w.take();
}

constexpr std::vector<uint8_t> writeUnitTable(const std::vector<UnitDescription>& units) {
    std::vector<std::vector<uint8_t>> records;
    for (const UnitDescription& unit : units) records.push_back(writeUnitRecord(unit));
    ByteWriter w;
    for (const UnitDescription& unit : units) w.u32(unit.id);
    uint32_t offset = 0;
    for (const auto& record : records) {
        w.u32(offset);
        offset += 4 + static_cast<uint32_t>(record.size());
    }
    for (const auto& record : records) w.counted(record);
    return w.take();
}

constexpr std::vector<uint8_t> writeTemplate(const std::vector<WindowDescription>& windows) {
    ByteWriter w;
    w.u32(static_cast<uint32_t>(8 * windows.size()));
    for (const WindowDescription& window : windows) w.u32(window.id);
    for (size_t i = 0; i < windows.size(); ++i) w.u32(0);  // record slots, filled at run time
    for (const WindowDescription& window : windows) {
        w.u32(window.headerValue1);
        w.u32(window.headerValue2);
        w.countedText(window.text1);
        w.countedText(window.text2);
        w.u32(static_cast<uint32_t>(window.units.size()));
        w.counted(writeUnitTable(window.units));
    }
    return w.take();
}

// --- Reading -------------------------------------------------------------

// A window as stored: header values, texts and the unit table bytes.
struct StoredWindow {
    uint32_t id = 0;
    uint32_t headerValue1 = 0, headerValue2 = 0;
    std::string text1, text2;
    uint32_t unitCount = 0;
    std::vector<uint8_t> unitTable;
};

// Reads the window list and the window records; false on any read past the end.
bool readStoredWindows(const uint8_t* data, size_t size, std::vector<StoredWindow>& out);

// Where record `index` of a unit table lies (after its length word); false
// when the table is too short.
bool unitRecordBounds(const std::vector<uint8_t>& table, uint32_t unitCount, uint32_t index, size_t& begin,
                      size_t& length);

// Decodes a unit record (the bytes after its length word); false when a
// field lies past its end. `layout`, when given, receives where the in-place
// words lie, so that the record's layout is spelled out here only.
bool readUnitRecord(uint32_t id, const uint8_t* record, size_t length, UnitDescription& out,
                    UnitRecordLayout* layout = nullptr);

// The whole template decoded back into its description.
bool readTemplate(const uint8_t* data, size_t size, std::vector<WindowDescription>& out);

}  // namespace ui
