// Variant to byte set and variant set.
#include <cstring>
#include <vector>

#include "runtime/cell_numbers.h"
#include "runtime/com/com_value.h"
#include "runtime/com/variant_convert.h"
#include "runtime/heap.h"

namespace rt {

namespace {

SAFEARRAY* arrayOf(const VARIANT& v) {
    if (!(v.vt & VT_ARRAY)) return nullptr;
    if (v.vt & VT_BYREF) return v.pparray ? *v.pparray : nullptr;
    return v.parray;
}

// Splits a 1-based linear index into per-dimension indexes, the first
// dimension varying fastest, each offset by its lower bound.
bool splitIndex(SAFEARRAY* array, int64_t linear, std::vector<LONG>* indexes) {
    UINT dims = SafeArrayGetDim(array);
    if (dims == 0 || linear < 1) return false;
    int64_t rest = linear - 1;
    indexes->assign(dims, 0);
    for (UINT d = 1; d <= dims; ++d) {
        LONG lower = 0, upper = -1;
        SafeArrayGetLBound(array, d, &lower);
        SafeArrayGetUBound(array, d, &upper);
        int64_t size = static_cast<int64_t>(upper) - lower + 1;
        if (size <= 0) return false;
        (*indexes)[d - 1] = static_cast<LONG>(lower + rest % size);
        rest /= size;
    }
    return rest == 0;  // anything left over lies beyond the array
}

// An element index argument by the integer-argument rule, all 64 bits of
// it: an index past 2^31 lies beyond any array rather than wrapping into it.
bool elementIndexes(SAFEARRAY* array, const DataCell& index, std::vector<LONG>* indexes) {
    return array && splitIndex(array, integerArgument(index), indexes);
}

// Bytes a scalar has from the value field (after vt and the three reserved
// words) to the end of the variant.
constexpr size_t kVariantValueBytes = 8;

// Where a scalar element of `type` lives in a variant, and the room there:
// a DECIMAL fills the whole variant (its first word is where vt is), every
// other scalar starts at the value field.
struct ElementSlot {
    void* at;
    size_t room;
};
ElementSlot elementSlot(VARIANT& v, VARTYPE type) {
    if (type == VT_DECIMAL) return {&v.decVal, sizeof(DECIMAL)};
    return {&v.llVal, kVariantValueBytes};
}

// The element at `indexes` as a variant of its own; false for an element
// that no variant can hold.
bool elementAsVariant(SAFEARRAY* array, std::vector<LONG>& indexes, VARIANT* out) {
    VariantInit(out);
    VARTYPE type = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(array, &type))) return false;
    if (type == VT_VARIANT) return SUCCEEDED(SafeArrayGetElement(array, indexes.data(), out));
    if (type == VT_RECORD) return false;
    VARIANT element;
    VariantInit(&element);
    ElementSlot slot = elementSlot(element, type);
    if (SafeArrayGetElemsize(array) > slot.room) return false;
    if (FAILED(SafeArrayGetElement(array, indexes.data(), slot.at))) return false;
    element.vt = type;  // after the copy: a DECIMAL's first word is vt
    *out = element;
    return true;
}

// Stores `value`, already of the array's element type, at `indexes`.
bool putElement(SAFEARRAY* array, std::vector<LONG>& indexes, VARTYPE type, VARIANT& value) {
    switch (type) {
        case VT_VARIANT: return SUCCEEDED(SafeArrayPutElement(array, indexes.data(), &value));
        // Interfaces and strings go in by their pointer; the array copies them.
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_UNKNOWN: return SUCCEEDED(SafeArrayPutElement(array, indexes.data(), value.byref));
        case VT_DECIMAL: {
            DECIMAL decimal = value.decVal;
            decimal.wReserved = 0;  // held vt while it was a variant
            return SUCCEEDED(SafeArrayPutElement(array, indexes.data(), &decimal));
        }
        default: {
            ElementSlot slot = elementSlot(value, type);
            if (SafeArrayGetElemsize(array) > slot.room) return false;
            return SUCCEEDED(SafeArrayPutElement(array, indexes.data(), slot.at));
        }
    }
}

uint8_t* bytesOfArrayVariant(const VARIANT& v) {
    SAFEARRAY* array = arrayOf(v);
    VARTYPE element = static_cast<VARTYPE>(v.vt & VT_TYPEMASK);
    if (!array || (element != VT_UI1 && element != VT_I1)) return nullptr;
    UINT dims = SafeArrayGetDim(array);
    uint64_t length = dims ? 1 : 0;
    for (UINT d = 1; d <= dims; ++d) {
        LONG lower = 0, upper = -1;
        SafeArrayGetLBound(array, d, &lower);
        SafeArrayGetUBound(array, d, &upper);
        int64_t size = static_cast<int64_t>(upper) - lower + 1;
        length *= size > 0 ? static_cast<uint64_t>(size) : 0;
    }
    if (length == 0 || length > 0x7FFFFFF0u) return nullptr;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return nullptr;
    uint8_t* out = makeByteSet(data, static_cast<size_t>(length));
    SafeArrayUnaccessData(array);
    return out;
}

uint8_t* bytesOfScalar(const VARIANT& v) {
    VARIANT copy;
    VariantInit(&copy);
    uint8_t* out = nullptr;
    if (SUCCEEDED(VariantCopyInd(&copy, const_cast<VARIANT*>(&v))) &&
        SUCCEEDED(VariantChangeType(&copy, &copy, 0, VT_ARRAY | VT_UI1)))
        out = bytesOfArrayVariant(copy);
    VariantClear(&copy);
    return out;
}

SAFEARRAY* byteArray(const uint8_t* byteSet) {
    uint32_t length = byteSetLength(byteSet);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, length);
    if (!array) return nullptr;
    if (length) {
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(array, &data))) {
            SafeArrayDestroy(array);
            return nullptr;
        }
        std::memcpy(data, byteSetData(byteSet), length);
        SafeArrayUnaccessData(array);
    }
    return array;
}

// The value as a variant; byte sets become byte arrays.
bool valueAsVariant(const DataCell& value, VARIANT* out) {
    if (value.valueType() == kTypeByteSet) {
        VariantInit(out);
        SAFEARRAY* array = byteArray(value.asByteSet());
        if (!array) return false;
        out->vt = VT_ARRAY | VT_UI1;
        out->parray = array;
        return true;
    }
    if (value.absent()) return false;
    return cellToVariant(value, VT_UNKNOWN, out);
}

}  // namespace

uint8_t* variantToByteSet(const VARIANT* variant, const DataCell& index) {
    if (!variant) return nullptr;
    const VARIANT& v = *variant;
    if (!(v.vt & VT_ARRAY)) return bytesOfScalar(v);
    if (!index.absent()) {
        SAFEARRAY* array = arrayOf(v);
        std::vector<LONG> indexes;
        if (!elementIndexes(array, index, &indexes)) return nullptr;
        VARIANT element;
        if (!elementAsVariant(array, indexes, &element)) return nullptr;
        uint8_t* out = (element.vt & VT_ARRAY) ? bytesOfArrayVariant(element) : bytesOfScalar(element);
        VariantClear(&element);
        return out;
    }
    return bytesOfArrayVariant(v);
}

bool variantSetValue(VARIANT* variant, const DataCell& value, const DataCell& index) {
    if (!variant) return false;
    if (index.absent()) {
        clearVariantBlock(variant);
        return valueAsVariant(value, variant);
    }
    SAFEARRAY* array = arrayOf(*variant);
    std::vector<LONG> indexes;
    if (!elementIndexes(array, index, &indexes)) return false;
    VARTYPE element = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(array, &element))) return false;
    // A byte set needs a slot that can hold an array.
    if (value.valueType() == kTypeByteSet && element != VT_VARIANT) return false;
    VARIANT converted;
    if (!valueAsVariant(value, &converted)) return false;
    bool ok = element == VT_VARIANT || SUCCEEDED(VariantChangeType(&converted, &converted, 0, element));
    ok = ok && putElement(array, indexes, element, converted);
    VariantClear(&converted);
    return ok;
}

}  // namespace rt
