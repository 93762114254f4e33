// Member access by name: bind through the type information, convert the
// arguments against the declared parameter types, invoke, write back.
#include <cstring>
#include <optional>
#include <vector>

#include "runtime/com/com_value.h"
#include "runtime/com/variant_convert.h"
#include "runtime/heap.h"

namespace rt {

namespace {

struct DeclaredType {
    VARTYPE vt = VT_VARIANT;
    bool byReference = false;
};

VARTYPE userDefinedType(ITypeInfo* owner, HREFTYPE reference, int depth);

// The variant type a type description stands for, aliases resolved.
VARTYPE baseType(ITypeInfo* owner, const TYPEDESC& desc, int depth) {
    if (depth > 16) return VT_UNKNOWN;
    switch (desc.vt) {
        case VT_USERDEFINED: return userDefinedType(owner, desc.hreftype, depth + 1);
        case VT_SAFEARRAY: {
            VARTYPE element = baseType(owner, *desc.lptdesc, depth + 1);
            return static_cast<VARTYPE>(VT_ARRAY | element);
        }
        case VT_PTR: return baseType(owner, *desc.lptdesc, depth + 1);
        case VT_INT: return VT_I4;
        case VT_UINT: return VT_UI4;
        case VT_HRESULT: return VT_ERROR;
        default: return desc.vt;
    }
}

VARTYPE userDefinedType(ITypeInfo* owner, HREFTYPE reference, int depth) {
    ITypeInfo* info = nullptr;
    if (FAILED(owner->GetRefTypeInfo(reference, &info)) || !info) return VT_UNKNOWN;
    VARTYPE out = VT_UNKNOWN;
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attr)) && attr) {
        switch (attr->typekind) {
            case TKIND_ALIAS: out = baseType(info, attr->tdescAlias, depth); break;
            case TKIND_ENUM: out = VT_I4; break;
            case TKIND_DISPATCH: out = VT_DISPATCH; break;
            default: out = VT_UNKNOWN; break;
        }
        info->ReleaseTypeAttr(attr);
    }
    info->Release();
    return out;
}

bool isInterfacePointee(ITypeInfo* owner, const TYPEDESC& pointee) {
    if (pointee.vt != VT_USERDEFINED) return false;
    VARTYPE vt = userDefinedType(owner, pointee.hreftype, 0);
    return vt == VT_DISPATCH || vt == VT_UNKNOWN;
}

// A pointer in the description means by reference, except the single
// pointer that every interface parameter carries.
DeclaredType declaredType(ITypeInfo* owner, const TYPEDESC& desc) {
    DeclaredType out;
    if (desc.vt == VT_PTR && !isInterfacePointee(owner, *desc.lptdesc)) out.byReference = true;
    out.vt = baseType(owner, desc, 0);
    return out;
}

int32_t invokeFailure(HRESULT hr) {
    switch (hr) {
        case DISP_E_BADPARAMCOUNT: return kComBadParamCount;
        case DISP_E_BADVARTYPE: return kComBadVarType;
        case DISP_E_EXCEPTION: return kComException;
        case DISP_E_MEMBERNOTFOUND: return kComMemberNotFound;
        case DISP_E_NONAMEDARGS: return kComNoNamedArgs;
        case DISP_E_OVERFLOW: return kComOverflow;
        case DISP_E_PARAMNOTFOUND: return kComParamNotFound;
        case DISP_E_TYPEMISMATCH: return kComTypeMismatch;
        case DISP_E_PARAMNOTOPTIONAL: return kComParamNotOptional;
        default: return kComInvokeFailed;
    }
}

// What the binding found, in the form the call needs.
struct BoundMember {
    MEMBERID id = 0;
    WORD flags = 0;
    std::vector<DeclaredType> params;
    std::vector<USHORT> paramFlags;
    bool variableCount = false;

    int32_t declared() const { return static_cast<int32_t>(params.size()); }
    // The parameter that describes argument `i`: with a variable count the
    // last one serves for the extra arguments.
    size_t parameterFor(int32_t i) const { return static_cast<size_t>(i < declared() ? i : declared() - 1); }
};

// Everything a call holds, released on every path.
struct InvokeResources {
    IDispatch* dispatch = nullptr;
    ITypeInfo* typeInfo = nullptr;
    ITypeComp* typeComp = nullptr;
    BSTR name = nullptr;
    std::vector<VARIANT> storage;
    VARIANT result;
    InvokeResources() { VariantInit(&result); }
    ~InvokeResources() {
        for (VARIANT& v : storage) VariantClear(&v);
        VariantClear(&result);
        if (typeComp) typeComp->Release();
        if (typeInfo) typeInfo->Release();
        if (dispatch) dispatch->Release();
        SysFreeString(name);
    }
};

// Takes what the call needs from a function description.
void bindFunction(ITypeInfo* owner, const FUNCDESC& func, BoundMember* bound) {
    bound->id = func.memid;
    bound->flags = static_cast<WORD>(func.invkind);
    bound->variableCount = func.cParamsOpt == -1;
    for (SHORT i = 0; i < func.cParams; ++i) {
        bound->params.push_back(declaredType(owner, func.lprgelemdescParam[i].tdesc));
        bound->paramFlags.push_back(func.lprgelemdescParam[i].paramdesc.wParamFlags);
    }
}

// Takes what the call needs from a variable description: a write has the
// value as its one parameter and goes by reference for interfaces and
// arrays; a read has none.
void bindVariable(ITypeInfo* owner, const VARDESC& var, InvokeMode mode, BoundMember* bound) {
    bound->id = var.memid;
    if (mode != kInvokePut) {
        bound->flags = DISPATCH_PROPERTYGET;
        return;
    }
    DeclaredType type = declaredType(owner, var.elemdescVar.tdesc);
    bool reference = type.vt == VT_DISPATCH || type.vt == VT_UNKNOWN || (type.vt & VT_ARRAY);
    bound->flags = reference ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
    type.byReference = false;
    bound->params.push_back(type);
    bound->paramFlags.push_back(PARAMFLAG_FIN);
}

// Binds `name` with the invoke kinds of `mode` in their order; the first
// kind that binds decides. kComNotBound when none does or it names a type.
int32_t bindMember(ITypeComp* comp, BSTR name, InvokeMode mode, BoundMember* bound) {
    static const WORD kGet[] = {INVOKE_PROPERTYGET, INVOKE_FUNC};
    static const WORD kPut[] = {INVOKE_PROPERTYPUT, INVOKE_PROPERTYPUTREF, INVOKE_FUNC};
    static const WORD kCall[] = {INVOKE_FUNC, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT, INVOKE_PROPERTYPUTREF};
    const WORD* kinds = mode == kInvokeGet ? kGet : mode == kInvokePut ? kPut : kCall;
    size_t kindCount = mode == kInvokeGet ? 2 : mode == kInvokePut ? 3 : 4;

    LCID lcid = GetUserDefaultLCID();
    ULONG hash = LHashValOfNameSys(SYS_WIN32, lcid, name);
    for (size_t k = 0; k < kindCount; ++k) {
        ITypeInfo* owner = nullptr;
        DESCKIND kind = DESCKIND_NONE;
        BINDPTR bind{};
        if (FAILED(comp->Bind(name, hash, kinds[k], &owner, &kind, &bind)) || kind == DESCKIND_NONE) {
            if (owner) owner->Release();
            continue;
        }
        int32_t code = kComOk;
        if (kind == DESCKIND_FUNCDESC) {
            bindFunction(owner, *bind.lpfuncdesc, bound);
            owner->ReleaseFuncDesc(bind.lpfuncdesc);
        } else if (kind == DESCKIND_VARDESC) {
            bindVariable(owner, *bind.lpvardesc, mode, bound);
            owner->ReleaseVarDesc(bind.lpvardesc);
        } else {
            if (kind == DESCKIND_TYPECOMP && bind.lptcomp) bind.lptcomp->Release();
            code = kComNotBound;
        }
        if (owner) owner->Release();
        return code;
    }
    return kComNotBound;
}

void setEmptyResult(uint32_t resultType, DataCell* result) {
    if (!result || resultType == 0) return;
    result->lo = result->hi = 0;
    result->type = resultType;
    if (resultType == kTypeComObject || resultType == kTypeVariant) {
        uint32_t size = resultType == kTypeComObject ? 8 : 16;
        void* block = rtAlloc(size);
        std::memset(block, 0, size);
        result->lo = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block));
    }
}

// The object's dispatch interface, its type information and the binding
// interface of that, each into `res`; the failure's code otherwise.
int32_t openTypeComp(ComObjectBlock* object, LCID lcid, InvokeResources& res) {
    if (!object || !object->unknown) return kComEmptyObject;
    if (FAILED(object->unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&res.dispatch))) ||
        !res.dispatch) {
        res.dispatch = nullptr;
        return kComNoDispatch;
    }
    if (FAILED(res.dispatch->GetTypeInfo(0, lcid, &res.typeInfo)) || !res.typeInfo) {
        res.typeInfo = nullptr;
        return kComNoTypeInfo;
    }
    if (FAILED(res.typeInfo->GetTypeComp(&res.typeComp)) || !res.typeComp) {
        res.typeComp = nullptr;
        return kComNoTypeInfo;
    }
    return kComOk;
}

// The number of arguments given: absent cells at the end are left out;
// inner ones stay as "not given".
int32_t givenCount(const DataCell* args, int32_t count) {
    int32_t given = count;
    while (given > 0 && args[given - 1].absent()) --given;
    return given;
}

// Points `slot` at `value` in the by-reference form that a parameter
// declared as `declared` takes. False when the value can't go that way;
// it then goes by value.
bool referTo(VARTYPE declared, VARIANT& value, VARIANT& slot) {
    if (declared & VT_ARRAY) {
        if (!(value.vt & VT_ARRAY)) return false;
        slot.vt = static_cast<VARTYPE>(VT_BYREF | value.vt);
        slot.pparray = &value.parray;
        return true;
    }
    if (declared == VT_VARIANT) {
        slot.vt = VT_BYREF | VT_VARIANT;
        slot.pvarVal = &value;
        return true;
    }
    if (FAILED(VariantChangeType(&value, &value, 0, declared))) return false;
    slot.vt = static_cast<VARTYPE>(VT_BYREF | declared);
    slot.byref = &value.llVal;  // every scalar, string and pointer starts here
    return true;
}

// The arguments as Invoke takes them, last argument first. The slots
// borrow from the converted values, which the call's storage owns.
struct PassedArguments {
    std::vector<VARIANT> slots;
    std::vector<bool> byReference;  // per argument, in the caller's order
};

// Converts argument `cell` into `value` against its parameter's `type` and
// fills `slot`; returns whether it went by reference, or nothing when the
// cell can't become a variant.
std::optional<bool> passArgument(const DataCell& cell, const DeclaredType& type, VARIANT& value, VARIANT& slot) {
    if (!cellToVariant(cell, type.vt, &value)) return std::nullopt;
    VariantInit(&slot);
    bool reference = type.byReference && !cell.absent() && referTo(type.vt, value, slot);
    if (!reference) std::memcpy(&slot, &value, sizeof(VARIANT));  // borrowed; storage owns it
    return reference;
}

// Converts the `given` arguments into `storage` and `passed`; false when
// one of them can't become a variant.
bool passArguments(const BoundMember& bound, const DataCell* args, int32_t given, std::vector<VARIANT>& storage,
                   PassedArguments& passed) {
    storage.resize(static_cast<size_t>(given));
    for (VARIANT& v : storage) VariantInit(&v);
    passed.slots.resize(static_cast<size_t>(given));
    passed.byReference.assign(static_cast<size_t>(given), false);
    for (int32_t i = 0; i < given; ++i) {
        std::optional<bool> reference = passArgument(args[i], bound.params[bound.parameterFor(i)],
                                                     storage[static_cast<size_t>(i)],
                                                     passed.slots[static_cast<size_t>(given - 1 - i)]);
        if (!reference) return false;
        passed.byReference[static_cast<size_t>(i)] = *reference;
    }
    return true;
}

// Invokes the bound member with `slots` (a property write names its value
// DISPID_PROPERTYPUT) into `result`; the failure's code otherwise.
int32_t callBound(IDispatch* dispatch, const BoundMember& bound, LCID lcid, std::vector<VARIANT>& slots,
                  VARIANT* result) {
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{slots.empty() ? nullptr : slots.data(), nullptr, static_cast<UINT>(slots.size()), 0};
    if (bound.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    UINT argumentError = 0;
    HRESULT hr = dispatch->Invoke(bound.id, IID_NULL, lcid, bound.flags, &params, result, nullptr, &argumentError);
    return FAILED(hr) ? invokeFailure(hr) : kComOk;
}

// Writes each argument that went by reference to an output parameter back
// into the caller's variable, where the cell carries its address.
void writeBackOutputs(const BoundMember& bound, const DataCell* args, const std::vector<VARIANT>& storage,
                      const PassedArguments& passed) {
    for (size_t i = 0; i < storage.size(); ++i) {
        const DataCell& cell = args[i];
        if (!passed.byReference[i] || !cell.byReference()) continue;
        if (!(bound.paramFlags[bound.parameterFor(static_cast<int32_t>(i))] & PARAMFLAG_FOUT)) continue;
        writeBackVariable(storage[i], cell.valueType(), reinterpret_cast<void*>(cell.lo));
    }
}

// The call's result variant as a value of `resultType` in `result` (when
// one is asked for); kComBadResult when it can't be converted.
int32_t storeResult(const VARIANT& value, uint32_t resultType, DataCell* result) {
    if (resultType == 0 || !result) return kComOk;
    uint32_t words[2];
    if (!variantToValue(value, resultType, words)) return kComBadResult;
    result->lo = words[0];
    result->hi = words[1];
    result->type = resultType;
    return kComOk;
}

// Binds, converts the arguments, invokes, writes back the outputs and
// converts the result; the first failure's code ends it.
int32_t invokeBound(ComObjectBlock* object, const char* name, const DataCell* args, int32_t count,
                    InvokeMode mode, uint32_t resultType, DataCell* result) {
    InvokeResources res;
    res.name = ansiToBstr(name);
    LCID lcid = GetUserDefaultLCID();
    if (int32_t code = openTypeComp(object, lcid, res); code != kComOk) return code;
    BoundMember bound;
    if (int32_t code = bindMember(res.typeComp, res.name, mode, &bound); code != kComOk) return code;
    int32_t given = givenCount(args, count);
    if (given > bound.declared() && !bound.variableCount) return kComTooManyArguments;
    PassedArguments passed;
    if (!passArguments(bound, args, given, res.storage, passed)) return kComBadArgument;
    if (int32_t code = callBound(res.dispatch, bound, lcid, passed.slots, &res.result); code != kComOk)
        return code;
    writeBackOutputs(bound, args, res.storage, passed);
    return storeResult(res.result, resultType, result);
}

}  // namespace

int32_t invokeMember(ComObjectBlock* object, const char* name, const DataCell* args, int32_t count,
                     InvokeMode mode, uint32_t resultType, DataCell* result) {
    int32_t code = invokeBound(object, name, args, count < 0 ? 0 : count, mode, resultType, result);
    if (code != kComOk) setEmptyResult(resultType, result);
    setLastComResult(code);
    return code;
}

}  // namespace rt
