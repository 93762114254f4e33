// Conversions between runtime values and VARIANTs.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

#include "runtime/data_cell.h"

namespace rt {

BSTR ansiToBstr(const char* text);
// A new runtime text (code page of the system), or nullptr for empty.
char* bstrToText(BSTR text);

// A cell's value as a variant. `wanted` only matters for COM objects
// (VT_DISPATCH asks for IDispatch, anything else gives IUnknown). An absent
// cell becomes VT_ERROR / DISP_E_PARAMNOTFOUND. False for a type that can't
// become a variant; `out` is then VT_EMPTY.
bool cellToVariant(const DataCell& cell, VARTYPE wanted, VARIANT* out);

// The variant (references resolved) as a value of runtime type `type`,
// written into the two value words. Texts, object blocks and variant blocks
// are newly allocated. False when it can't be converted.
bool variantToValue(const VARIANT& source, uint32_t type, uint32_t words[2]);

// Frees what a value of `type` owns (text, object block, variant block).
void releaseValue(uint32_t type, uint32_t words[2]);

// Writes a converted value into the caller's variable at `variable`,
// dropping what the variable held before.
bool writeBackVariable(const VARIANT& source, uint32_t type, void* variable);

}  // namespace rt
