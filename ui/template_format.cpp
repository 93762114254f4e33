#include "ui/template_format.h"

#include <algorithm>
#include <cstdint>

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

// Reads the fields unitRecordFields gives it, strictly within the record,
// and notes where the in-place words lie. A failure sticks: every later
// field is left as it is.
class UnitRecordReader {
public:
    using Mark = size_t UnitRecordLayout::*;
    UnitRecordReader(const uint8_t* record, size_t length) : r_(record, length) {}

    void word(uint32_t& v) { r_.u32(v); }
    void word(int32_t& v) { r_.i32(v); }
    template <size_t N>
    void words(std::array<uint32_t, N>& values) {
        for (uint32_t& v : values) r_.u32(v);
    }
    void text(std::string& t) { r_.zeroTerminated(t); }
    template <size_t N>
    void bytes(std::array<uint8_t, N>& b) {
        std::vector<uint8_t> read;
        if (r_.raw(N, read)) std::copy(read.begin(), read.end(), b.begin());
    }
    void counted(std::vector<uint8_t>& b) { r_.counted(b); }
    void list(std::vector<uint32_t>& items) {
        if (!resizeFor(items, sizeof(uint32_t))) return;
        for (uint32_t& v : items) r_.u32(v);
    }
    void list(std::vector<EventBinding>& bindings) {
        if (!resizeFor(bindings, 2 * sizeof(int32_t))) return;
        for (EventBinding& b : bindings) {
            r_.i32(b.event);
            r_.i32(b.handlerOffset);
        }
    }
    // A record that ends within the reserved bytes has no property data.
    template <size_t N>
    void rest(std::array<uint8_t, N>& reserved, std::vector<uint8_t>& data) {
        if (!ok()) return;
        std::vector<uint8_t> read;
        r_.raw(std::min(r_.remaining(), N), read);
        std::copy(read.begin(), read.end(), reserved.begin());
        r_.raw(r_.remaining(), data);
    }
    void slot(Mark at) {
        mark(at);
        uint32_t ignored = 0;
        r_.u32(ignored);
    }
    void mark(Mark at) { layout_.*at = r_.position(); }

    bool ok() const { return r_.ok(); }
    const UnitRecordLayout& layout() const { return layout_; }

private:
    // Reads a count and sizes `items` for it; false, and the reader failed,
    // when that many items of `itemSize` bytes can't fit in what is left.
    template <typename Item>
    bool resizeFor(std::vector<Item>& items, size_t itemSize) {
        uint32_t count = 0;
        if (!r_.u32(count)) return false;
        if (count > r_.remaining() / itemSize) return r_.fail();
        items.resize(count);
        return true;
    }

    ByteReader r_;
    UnitRecordLayout layout_;
};

}  // namespace

bool readUnitRecord(uint32_t id, const uint8_t* record, size_t length, UnitDescription& u,
                    UnitRecordLayout* layout) {
    UnitRecordReader reader(record, length);
    u = UnitDescription{};
    u.id = id;
    unitRecordFields(u, reader);
    if (!reader.ok()) return false;
    if (layout) *layout = reader.layout();
    return true;
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
