// Integers read from data cells by the one guarded rule that the commands'
// integer arguments, the conversion commands, the variant commands' element
// indexes and service request 2001 share.
#pragma once

#include <cmath>
#include <cstdint>

#include "runtime/data_cell.h"

namespace rt {

// Truncation toward zero to 64 bits: a value that is not a number or has no
// 64-bit integer part (|value| >= 2^63) gives 0, never undefined behaviour.
inline int64_t truncateToInt64(double value) {
    constexpr double kTwoTo63 = 9223372036854775808.0;
    if (!(std::fabs(value) < kTwoTo63)) return 0;
    return static_cast<int64_t>(value);
}

// The six number types, byte to double (logical and date-time are not).
inline bool isNumberType(uint32_t type) {
    switch (elementType(type)) {
        case kTypeByte:
        case kTypeShort:
        case kTypeInt:
        case kTypeInt64:
        case kTypeFloat:
        case kTypeDouble: return true;
        default: return false;
    }
}

// Numbers plus the values that convert like them: logical and date-time.
inline bool holdsIntegerValue(const DataCell& cell) {
    uint32_t type = cell.valueType();
    return isNumberType(type) || type == kTypeBool || type == kTypeDateTime;
}

// The integer-argument rule: a number, logical or date-time cell as a 64-bit
// integer (floating values truncated as above); any other cell gives its
// value word as it is (an address or handle passed where an integer goes).
inline int64_t integerArgument(const DataCell& cell) {
    switch (cell.valueType()) {
        case kTypeByte: return *static_cast<const uint8_t*>(cell.valuePtr());
        case kTypeShort: return *static_cast<const int16_t*>(cell.valuePtr());
        case kTypeInt64: return cell.asInt64();
        case kTypeFloat: return truncateToInt64(cell.asFloat());
        case kTypeDouble:
        case kTypeDateTime: return truncateToInt64(cell.asDouble());
        default: return cell.asInt();
    }
}

}  // namespace rt
