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
};

constexpr void writeBlock(ByteWriter& w, const WindowBlock& b) {
    w.u32(WindowBlock::kHighestVersion);
    w.u32(b.borderStyle);
    w.u32(b.backgroundColour);
    w.u32(b.controlBox);
    w.u32(b.minimiseButton);
    w.u32(b.maximiseButton);
    w.u32(b.startPosition);
    w.counted(b.picture);
    w.countedText(b.title);
}
constexpr bool readBlock(ByteReader& r, WindowBlock& b) {
    uint32_t version = 0;
    if (!r.u32(version) || version > WindowBlock::kHighestVersion) return false;
    r.u32(b.borderStyle);
    r.u32(b.backgroundColour);
    r.u32(b.controlBox);
    r.u32(b.minimiseButton);
    r.u32(b.maximiseButton);
    r.u32(b.startPosition);
    r.counted(b.picture);
    r.countedText(b.title);
    return r.ok();
}

// --- Label ("_RT_Label") -------------------------------------------------------
struct LabelBlock {
    static constexpr uint32_t kHighestVersion = 2;
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
    std::string dataSource, dataColumn; // version 2
    constexpr bool operator==(const LabelBlock&) const = default;
};

constexpr void writeBlock(ByteWriter& w, const LabelBlock& b) {
    w.u32(LabelBlock::kHighestVersion);
    w.u32(b.effect);
    w.u32(b.gradientBorderWidth);
    w.u32(b.border);
    for (uint32_t c : b.gradientBorderColours) w.u32(c);
    w.u32(b.textColour);
    w.u32(b.backgroundColour);
    w.u32(b.pictureMode);
    w.u32(b.gradientMode);
    for (uint32_t c : b.gradientColours) w.u32(c);
    w.u32(b.horizontalAlignment);
    w.u32(b.verticalAlignment);
    w.u32(b.wordWrap);
    w.counted(b.font);
    w.counted(b.picture);
    w.countedText(b.caption);
    w.countedText(b.dataSource);
    w.countedText(b.dataColumn);
}
constexpr bool readBlock(ByteReader& r, LabelBlock& b) {
    uint32_t version = 0;
    if (!r.u32(version) || version > LabelBlock::kHighestVersion) return false;
    r.u32(b.effect);
    r.u32(b.gradientBorderWidth);
    r.u32(b.border);
    for (uint32_t& c : b.gradientBorderColours) r.u32(c);
    r.u32(b.textColour);
    r.u32(b.backgroundColour);
    r.u32(b.pictureMode);
    r.u32(b.gradientMode);
    for (uint32_t& c : b.gradientColours) r.u32(c);
    r.u32(b.horizontalAlignment);
    r.u32(b.verticalAlignment);
    r.u32(b.wordWrap);
    r.counted(b.font);
    r.counted(b.picture);
    r.countedText(b.caption);
    if (version >= 2) {
        r.countedText(b.dataSource);
        r.countedText(b.dataColumn);
    }
    return r.ok();
}

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
};

constexpr void writeBlock(ByteWriter& w, const DrawPanelBlock& b) {
    w.u32(DrawPanelBlock::kHighestVersion);
    for (uint32_t v : {b.border, b.backgroundColour, b.pictureMode, b.autoRedraw, b.coordinateUnit, b.penStyle,
                       b.drawingMode, b.penWidth, b.penColour, b.brushStyle, b.brushColour, b.textColour,
                       b.textBackground})
        w.u32(v);
    w.counted(b.font);
    w.counted(b.picture);
}
constexpr bool readBlock(ByteReader& r, DrawPanelBlock& b) {
    uint32_t version = 0;
    if (!r.u32(version) || version > DrawPanelBlock::kHighestVersion) return false;
    for (uint32_t* v : {&b.border, &b.backgroundColour, &b.pictureMode, &b.autoRedraw, &b.coordinateUnit,
                        &b.penStyle, &b.drawingMode, &b.penWidth, &b.penColour, &b.brushStyle, &b.brushColour,
                        &b.textColour, &b.textBackground})
        r.u32(*v);
    r.counted(b.font);
    r.counted(b.picture);
    return r.ok();
}

// --- Timer ("_RT_Timer") ---------------------------------------------------------
struct TimerBlock {
    static constexpr uint32_t kHighestVersion = 1;
    int32_t interval = 0;   // milliseconds
    constexpr bool operator==(const TimerBlock&) const = default;
};

constexpr void writeBlock(ByteWriter& w, const TimerBlock& b) {
    w.u32(TimerBlock::kHighestVersion);
    w.i32(b.interval);
}
constexpr bool readBlock(ByteReader& r, TimerBlock& b) {
    uint32_t version = 0;
    if (!r.u32(version) || version > TimerBlock::kHighestVersion) return false;
    r.i32(b.interval);
    return r.ok();
}

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
};

constexpr void writeBlock(ByteWriter& w, const TransLabelBlock& b) {
    w.u32(TransLabelBlock::kHighestVersion);
    w.u32(b.effect);
    w.u32(b.textColour);
    w.u32(b.horizontalAlignment);
    w.u32(b.verticalAlignment);
    w.u32(b.wordWrap);
    w.counted(b.font);
    w.countedText(b.caption);
}
constexpr bool readBlock(ByteReader& r, TransLabelBlock& b) {
    uint32_t version = 0;
    if (!r.u32(version) || version > TransLabelBlock::kHighestVersion) return false;
    r.u32(b.effect);
    r.u32(b.textColour);
    r.u32(b.horizontalAlignment);
    r.u32(b.verticalAlignment);
    r.u32(b.wordWrap);
    r.counted(b.font);
    r.countedText(b.caption);
    return r.ok();
}

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
