// The property blocks of the control classes and their class property data:
// a u32 version first, then the fields in a fixed order. Each reader accepts
// the class's versions up to its highest and fails above it; each writer
// writes the highest version, so reading then writing gives back the same
// bytes for data of the highest version. Usable at compile time: the
// program's template is written with these writers.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/byte_stream.h"

namespace ui {

// The colour properties' "no colour": the default colour, or transparent,
// as the property says.
constexpr uint32_t kNoColour = 0xFF000000;

// A LOGFONTA as the 60 bytes a font property holds.
struct LogFontFields {
    int32_t height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
    uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0;
    uint8_t outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
    std::string_view face;
};
constexpr size_t kLogFontSize = 60;

constexpr std::vector<uint8_t> logFontBytes(const LogFontFields& font) {
    ByteWriter w;
    w.i32(font.height);
    w.i32(font.width);
    w.i32(font.escapement);
    w.i32(font.orientation);
    w.i32(font.weight);
    const uint8_t flags[8] = {font.italic,       font.underline,     font.strikeOut, font.charSet,
                              font.outPrecision, font.clipPrecision, font.quality,   font.pitchAndFamily};
    w.raw(flags, 8);
    std::vector<uint8_t> face(32, 0);
    for (size_t i = 0; i < font.face.size() && i < 31; ++i) face[i] = static_cast<uint8_t>(font.face[i]);
    w.raw(face);
    return w.take();
}

// Where the face name sits in those bytes and how long it may be (the rest
// of its 32 bytes is zeros).
constexpr size_t kFaceNameOffset = 28;
constexpr size_t kFaceNameCapacity = 32;
constexpr size_t kMaxFaceNameLength = kFaceNameCapacity - 1;

// Offers the face name of a font property to visit(std::string&), which may
// change it, and writes back what it left, cut to the longest face name.
// False, and nothing visited, when the bytes are no font.
template <typename Visit>
bool visitFontFace(std::vector<uint8_t>& font, Visit visit) {
    if (font.size() != kLogFontSize) return false;
    auto faceBegin = font.begin() + kFaceNameOffset;
    auto faceEnd = faceBegin + kFaceNameCapacity;
    std::string face(faceBegin, std::find(faceBegin, faceEnd, 0));
    visit(face);
    std::fill(faceBegin, faceEnd, 0);
    std::copy_n(face.begin(), std::min(face.size(), kMaxFaceNameLength), faceBegin);
    return true;
}

// --- One field list per block ---------------------------------------------------
// Each block lists its fields once, in stored order, as `fields(block, io)`;
// the writer and the reader below both walk that list, so the two cannot
// drift apart. `io.version()` is the version being written or read: fields
// added in a later version are listed under a check of it.

// Writes the fields it is given, for the highest version.
class BlockFieldWriter {
public:
    constexpr BlockFieldWriter(ByteWriter& w, uint32_t version) : w_(w), version_(version) { w_.u32(version); }
    constexpr uint32_t version() const { return version_; }
    template <typename... Fields>
    constexpr void operator()(const Fields&... fields) {
        (put(fields), ...);
    }

private:
    constexpr void put(uint32_t v) { w_.u32(v); }
    constexpr void put(int32_t v) { w_.i32(v); }
    template <size_t N>
    constexpr void put(const std::array<uint32_t, N>& words) {
        for (uint32_t v : words) w_.u32(v);
    }
    constexpr void put(const std::vector<uint8_t>& data) { w_.counted(data); }
    constexpr void put(const std::string& text) { w_.countedText(text); }

    ByteWriter& w_;
    uint32_t version_;
};

// Reads the fields it is given from data of `version`; a read past the end
// sticks in the reader.
class BlockFieldReader {
public:
    constexpr BlockFieldReader(ByteReader& r, uint32_t version) : r_(r), version_(version) {}
    constexpr uint32_t version() const { return version_; }
    template <typename... Fields>
    constexpr void operator()(Fields&... fields) {
        (get(fields), ...);
    }

private:
    constexpr void get(uint32_t& v) { r_.u32(v); }
    constexpr void get(int32_t& v) { r_.i32(v); }
    template <size_t N>
    constexpr void get(std::array<uint32_t, N>& words) {
        for (uint32_t& v : words) r_.u32(v);
    }
    constexpr void get(std::vector<uint8_t>& data) { r_.counted(data); }
    constexpr void get(std::string& text) { r_.countedText(text); }

    ByteReader& r_;
    uint32_t version_;
};

// A block as class property data: its highest version, then its fields.
template <typename Block>
constexpr void writeBlock(ByteWriter& w, const Block& b) {
    BlockFieldWriter io(w, Block::kHighestVersion);
    Block::fields(b, io);
}

// Reads a block of any version up to the class's highest; false above it or
// when a field lies past the end.
template <typename Block>
constexpr bool readBlock(ByteReader& r, Block& b) {
    uint32_t version = 0;
    if (!r.u32(version) || version > Block::kHighestVersion) return false;
    BlockFieldReader io(r, version);
    Block::fields(b, io);
    return r.ok();
}

// --- Window ("RTWindow") -------------------------------------------------------
struct WindowBlock {
    static constexpr uint32_t kHighestVersion = 1;
    uint32_t borderStyle = 2;           // 0-6
    uint32_t backgroundColour = kNoColour;
    uint32_t controlBox = 1;
    uint32_t minimiseButton = 1;
    uint32_t maximiseButton = 0;
    uint32_t startPosition = 1;         // 0 template, 1 centred, 2 minimised, 3 maximised
    std::vector<uint8_t> picture;
    std::string title;
    constexpr bool operator==(const WindowBlock&) const = default;

    template <typename Self, typename Io>
    static constexpr void fields(Self& b, Io& io) {
        io(b.borderStyle, b.backgroundColour, b.controlBox, b.minimiseButton, b.maximiseButton, b.startPosition,
           b.picture, b.title);
    }
};

// --- Label ("_RT_Label") -------------------------------------------------------
struct LabelBlock {
    static constexpr uint32_t kHighestVersion = 2;
    static constexpr uint32_t kDataBindingVersion = 2;  // added the data source and column
    uint32_t effect = 0;                // 0-3
    uint32_t gradientBorderWidth = 8;
    uint32_t border = 0;                // 0-6
    std::array<uint32_t, 3> gradientBorderColours{0x808080, 0xFFFFFF, 0x808080};
    uint32_t textColour = 0;
    uint32_t backgroundColour = kNoColour;
    uint32_t pictureMode = 1;           // 0-2
    uint32_t gradientMode = 0;          // 0-8
    std::array<uint32_t, 3> gradientColours{0x808080, 0xFFFFFF, 0x808080};
    uint32_t horizontalAlignment = 0;   // 0-2
    uint32_t verticalAlignment = 1;     // 0-2
    uint32_t wordWrap = 0;
    std::vector<uint8_t> font;
    std::vector<uint8_t> picture;
    std::string caption = "标签";
    std::string dataSource, dataColumn;
    constexpr bool operator==(const LabelBlock&) const = default;

    template <typename Self, typename Io>
    static constexpr void fields(Self& b, Io& io) {
        io(b.effect, b.gradientBorderWidth, b.border, b.gradientBorderColours, b.textColour, b.backgroundColour,
           b.pictureMode, b.gradientMode, b.gradientColours, b.horizontalAlignment, b.verticalAlignment, b.wordWrap,
           b.font, b.picture, b.caption);
        if (io.version() >= kDataBindingVersion) io(b.dataSource, b.dataColumn);
    }
};

// --- Draw panel ("_RT_DrawPanel") ------------------------------------------------
struct DrawPanelBlock {
    static constexpr uint32_t kHighestVersion = 1;
    uint32_t border = 0;                // 0-5
    uint32_t backgroundColour = kNoColour;
    uint32_t pictureMode = 1;           // 0-2
    uint32_t autoRedraw = 0;
    uint32_t coordinateUnit = 0;        // 0-5
    uint32_t penStyle = 1;              // 0-6
    uint32_t drawingMode = 12;          // 0-15: raster operation - 1
    uint32_t penWidth = 0;              // 0-32767
    uint32_t penColour = 0;
    uint32_t brushStyle = 1;            // 0-55
    uint32_t brushColour = 0xFFFFFF;
    uint32_t textColour = 0;
    uint32_t textBackground = kNoColour;
    std::vector<uint8_t> font;
    std::vector<uint8_t> picture;
    constexpr bool operator==(const DrawPanelBlock&) const = default;

    template <typename Self, typename Io>
    static constexpr void fields(Self& b, Io& io) {
        io(b.border, b.backgroundColour, b.pictureMode, b.autoRedraw, b.coordinateUnit, b.penStyle, b.drawingMode,
           b.penWidth, b.penColour, b.brushStyle, b.brushColour, b.textColour, b.textBackground, b.font, b.picture);
    }
};

// --- Timer ("_RT_Timer") ---------------------------------------------------------
struct TimerBlock {
    static constexpr uint32_t kHighestVersion = 1;
    int32_t interval = 0;   // milliseconds
    constexpr bool operator==(const TimerBlock&) const = default;

    template <typename Self, typename Io>
    static constexpr void fields(Self& b, Io& io) {
        io(b.interval);
    }
};

// --- Transparent label -------------------------------------------------------
struct TransLabelBlock {
    static constexpr uint32_t kHighestVersion = 1;
    uint32_t effect = 0;                // 0-3
    uint32_t textColour = 0;
    uint32_t horizontalAlignment = 0;   // 0-2
    uint32_t verticalAlignment = 1;     // 0-2
    uint32_t wordWrap = 0;
    std::vector<uint8_t> font;
    std::string caption = "透明标签";
    constexpr bool operator==(const TransLabelBlock&) const = default;

    template <typename Self, typename Io>
    static constexpr void fields(Self& b, Io& io) {
        io(b.effect, b.textColour, b.horizontalAlignment, b.verticalAlignment, b.wordWrap, b.font, b.caption);
    }
};

// Class property data of a block.
template <typename Block>
constexpr std::vector<uint8_t> blockBytes(const Block& block) {
    ByteWriter w;
    writeBlock(w, block);
    return w.take();
}

// Reads a block from class property data; empty data (length 0 or less)
// keeps the defaults.
template <typename Block>
bool readBlockData(const uint8_t* data, int32_t length, Block& block) {
    if (!data || length <= 0) return true;
    ByteReader r(data, static_cast<size_t>(length));
    return readBlock(r, block);
}

}  // namespace ui
