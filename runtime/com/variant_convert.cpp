#include "runtime/com/variant_convert.h"

#include <cstring>
#include <vector>

#include "runtime/com/com_value.h"
#include "runtime/heap.h"

namespace rt {

BSTR ansiToBstr(const char* text) {
    if (!text || !*text) return SysAllocStringLen(L"", 0);
    int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units <= 0) return SysAllocStringLen(L"", 0);
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(units - 1));
    if (out) MultiByteToWideChar(CP_ACP, 0, text, -1, out, units);
    return out;
}

char* bstrToText(BSTR text) {
    UINT units = text ? SysStringLen(text) : 0;
    if (units == 0) return nullptr;
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(units), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return nullptr;
    std::vector<char> buffer(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(units), buffer.data(), bytes, nullptr, nullptr);
    // A text ends at its first zero, as every runtime text does.
    return makeText(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

namespace {

// A number cell as its variant (a 64-bit integer as its low 32 bits); false
// for a cell that holds no number.
bool numberToVariant(const DataCell& cell, VARIANT* out) {
    switch (cell.valueType()) {
        case kTypeByte:
            out->vt = VT_UI1;
            out->bVal = *static_cast<const uint8_t*>(cell.valuePtr());
            return true;
        case kTypeShort:
            out->vt = VT_I2;
            out->iVal = *static_cast<const int16_t*>(cell.valuePtr());
            return true;
        case kTypeInt:
            out->vt = VT_I4;
            out->lVal = cell.asInt();
            return true;
        case kTypeInt64:
            out->vt = VT_I4;
            out->lVal = static_cast<LONG>(static_cast<uint32_t>(cell.asInt64()));
            return true;
        case kTypeFloat:
            out->vt = VT_R4;
            out->fltVal = cell.asFloat();
            return true;
        case kTypeDouble:
            out->vt = VT_R8;
            out->dblVal = cell.asDouble();
            return true;
        default:
            return false;
    }
}

// An object cell's interface with a reference of its own: IDispatch when
// `wanted` asks for it (null when the object has none), else IUnknown.
void objectToVariant(const DataCell& cell, VARTYPE wanted, VARIANT* out) {
    ComObjectBlock* block = objectBlockOf(cell);
    IUnknown* unknown = block ? block->unknown : nullptr;
    if (wanted == VT_DISPATCH) {
        IDispatch* dispatch = nullptr;
        if (unknown && FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
            dispatch = nullptr;
        out->vt = VT_DISPATCH;
        out->pdispVal = dispatch;
    } else {
        if (unknown) unknown->AddRef();
        out->vt = VT_UNKNOWN;
        out->punkVal = unknown;
    }
}

}  // namespace

bool cellToVariant(const DataCell& cell, VARTYPE wanted, VARIANT* out) {
    VariantInit(out);
    switch (cell.valueType()) {
        case kTypeAbsent:
            out->vt = VT_ERROR;
            out->scode = DISP_E_PARAMNOTFOUND;
            return true;
        case kTypeBool:
            out->vt = VT_BOOL;
            out->boolVal = cell.asBool() ? VARIANT_TRUE : VARIANT_FALSE;
            return true;
        case kTypeDateTime:
            out->vt = VT_DATE;
            out->date = cell.asDouble();
            return true;
        case kTypeText:
            out->vt = VT_BSTR;
            out->bstrVal = ansiToBstr(cell.asText());
            return true;
        case kTypeComObject:
            objectToVariant(cell, wanted, out);
            return true;
        case kTypeVariant: {
            VARIANT* block = variantBlockOf(cell);
            if (!block) return true;  // an unset variant variable counts as empty
            return SUCCEEDED(VariantCopyInd(out, block));
        }
        default:
            return numberToVariant(cell, out);
    }
}

namespace {

VARTYPE targetVarType(uint32_t type) {
    switch (type) {
        case kTypeComObject: return VT_UNKNOWN;
        case kTypeBool: return VT_BOOL;
        case kTypeDateTime: return VT_DATE;
        case kTypeText: return VT_BSTR;
        case kTypeByte: return VT_UI1;
        case kTypeShort: return VT_I2;
        case kTypeInt:
        case kTypeInt64: return VT_I4;
        case kTypeFloat: return VT_R4;
        case kTypeDouble: return VT_R8;
        default: return VT_EMPTY;
    }
}

struct VariantHolder {
    VARIANT v;
    VariantHolder() { VariantInit(&v); }
    ~VariantHolder() { VariantClear(&v); }
    VariantHolder(const VariantHolder&) = delete;
    VariantHolder& operator=(const VariantHolder&) = delete;
};

}  // namespace

bool variantToValue(const VARIANT& source, uint32_t type, uint32_t words[2]) {
    words[0] = words[1] = 0;
    VariantHolder copy;
    if (FAILED(VariantCopyInd(&copy.v, const_cast<VARIANT*>(&source)))) return false;
    if (copy.v.vt == VT_RECORD) return false;
    if (type == kTypeVariant) {
        auto* block = static_cast<VARIANT*>(rtAlloc(sizeof(VARIANT)));
        std::memcpy(block, &copy.v, sizeof(VARIANT));  // ownership moves into the block
        VariantInit(&copy.v);
        words[0] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block));
        return true;
    }
    VARTYPE target = targetVarType(type);
    if (target == VT_EMPTY) return false;
    if (FAILED(VariantChangeType(&copy.v, &copy.v, 0, target))) return false;
    switch (type) {
        case kTypeComObject: {
            auto* block = static_cast<ComObjectBlock*>(rtAlloc(sizeof(ComObjectBlock)));
            block->unknown = copy.v.punkVal;
            block->reserved = 0;
            if (block->unknown) block->unknown->AddRef();
            words[0] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block));
            return true;
        }
        case kTypeBool: words[0] = copy.v.boolVal != 0 ? 1 : 0; return true;
        case kTypeDateTime: std::memcpy(words, &copy.v.date, 8); return true;
        case kTypeDouble: std::memcpy(words, &copy.v.dblVal, 8); return true;
        case kTypeText: words[0] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(bstrToText(copy.v.bstrVal))); return true;
        case kTypeByte: words[0] = copy.v.bVal; return true;
        case kTypeShort: words[0] = static_cast<uint32_t>(static_cast<int32_t>(copy.v.iVal)); return true;
        case kTypeInt: words[0] = static_cast<uint32_t>(copy.v.lVal); return true;
        case kTypeInt64: {
            int64_t wide = copy.v.lVal;  // sign-extended
            std::memcpy(words, &wide, 8);
            return true;
        }
        case kTypeFloat: std::memcpy(words, &copy.v.fltVal, 4); return true;
        default: return false;
    }
}

void releaseValue(uint32_t type, uint32_t words[2]) {
    void* block = reinterpret_cast<void*>(words[0]);
    if (!block) return;
    if (type == kTypeComObject) {
        clearComObject(static_cast<ComObjectBlock*>(block));
        rtFree(block);
    } else if (type == kTypeVariant) {
        VariantClear(static_cast<VARIANT*>(block));
        rtFree(block);
    } else if (type == kTypeText || type == kTypeByteSet) {
        rtFree(block);
    }
    words[0] = words[1] = 0;
}

bool writeBackVariable(const VARIANT& source, uint32_t type, void* variable) {
    if (!variable) return false;
    uint32_t words[2];
    if (!variantToValue(source, type, words)) return false;
    switch (type) {
        case kTypeText: {
            char** slot = static_cast<char**>(variable);
            rtFree(*slot);
            *slot = reinterpret_cast<char*>(words[0]);
            return true;
        }
        case kTypeComObject: {
            // The variable keeps its block; only the interface changes.
            auto** slot = static_cast<ComObjectBlock**>(variable);
            auto* fresh = reinterpret_cast<ComObjectBlock*>(words[0]);
            if (!*slot) {
                *slot = fresh;
                return true;
            }
            if ((*slot)->unknown) (*slot)->unknown->Release();
            (*slot)->unknown = fresh->unknown;
            rtFree(fresh);
            return true;
        }
        case kTypeVariant: {
            auto** slot = static_cast<VARIANT**>(variable);
            auto* fresh = reinterpret_cast<VARIANT*>(words[0]);
            if (!*slot) {
                *slot = fresh;
                return true;
            }
            VariantClear(*slot);
            std::memcpy(*slot, fresh, sizeof(VARIANT));
            rtFree(fresh);
            return true;
        }
        default:
            std::memcpy(variable, words, typeWidth(type));
            return true;
    }
}

}  // namespace rt
