#include "runtime/data_cell.h"

#include "runtime/error_boundary.h"

namespace rt {

namespace {
const DataCell kAbsentCell{};
}

uint32_t typeWidth(uint32_t type) {
    switch (elementType(type)) {
        case kTypeByte: return 1;
        case kTypeShort: return 2;
        case kTypeInt64:
        case kTypeDouble:
        case kTypeDateTime:
        case kTypeEightBytes: return 8;
        case kTypeNoValue: return 0;
        default: return 4;
    }
}

const DataCell& argAt(int32_t count, const DataCell* args, int32_t i) {
    return (i >= 0 && i < count && args) ? args[i] : kAbsentCell;
}

DataCell callCommand(Command command, int32_t count, DataCell* args) {
    DataCell result{};
    // A command that throws leaves its result as far as it got.
    protectedRun([&] { command(&result, count, args); });
    return result;
}

}  // namespace rt
