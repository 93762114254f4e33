// Unit property numbers as the application names them. Every unit has the
// common properties 0-7; a class's own properties follow them, so class
// property n is unit property kCommonPropertyCount + n (each class's
// property enum, in its header, counts from 0).
#pragma once

#include <cstdint>

namespace ui {

enum CommonProperty : int32_t {
    kCommonLeft = 0,
    kCommonTop = 1,
    kCommonWidth = 2,
    kCommonHeight = 3,
    kCommonTag = 4,
    kCommonVisible = 5,
    kCommonDisabled = 6,    // 1: the unit ignores input
    kCommonCursor = 7,      // the mouse pointer data
    kCommonPropertyCount = 8,
};

// A menu item has one property, its caption, in place of the common ones.
constexpr int32_t kMenuItemCaption = 0;

// The unit property number of a class's own property `classProperty`.
constexpr int32_t unitProperty(int32_t classProperty) { return kCommonPropertyCount + classProperty; }

// The class's own number of unit property `property` (not a common one).
constexpr int32_t classProperty(int32_t property) { return property - kCommonPropertyCount; }

// True for the properties every unit has.
constexpr bool isCommonProperty(int32_t property) { return property < kCommonPropertyCount; }

}  // namespace ui
