// The core library's COM object and variant commands (command call frame).
#pragma once

#include "runtime/data_cell.h"

namespace rt {

// (object, member name, arguments...) -> text / double / variant / none.
void comGetText(DataCell* result, int32_t count, DataCell* args);
void comGetNumber(DataCell* result, int32_t count, DataCell* args);
void comGetVariant(DataCell* result, int32_t count, DataCell* args);
void comCall(DataCell* result, int32_t count, DataCell* args);
// (object, property name, arguments..., value) -> logical.
void comSetProperty(DataCell* result, int32_t count, DataCell* args);
// (target block, source object).
void comAssign(DataCell* result, int32_t count, DataCell* args);
// (object).
void comClear(DataCell* result, int32_t count, DataCell* args);
// (object variable, ProgID or "{CLSID}", [type-library file]) -> logical.
void comCreate(DataCell* result, int32_t count, DataCell* args);
// (variant).
void variantClear(DataCell* result, int32_t count, DataCell* args);
// (variant, [element index]) -> byte set.
void variantToBytes(DataCell* result, int32_t count, DataCell* args);
// (variant, value, [element index]) -> logical.
void variantSet(DataCell* result, int32_t count, DataCell* args);

}  // namespace rt
