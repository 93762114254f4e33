// Member access by name: bind through the type information, convert the
// arguments against the declared parameter types, invoke, write back.
#include <cstring>
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
            FUNCDESC* func = bind.lpfuncdesc;
            bound->id = func->memid;
            bound->flags = static_cast<WORD>(func->invkind);
            bound->variableCount = func->cParamsOpt == -1;
            for (SHORT i = 0; i < func->cParams; ++i) {
                bound->params.push_back(declaredType(owner, func->lprgelemdescParam[i].tdesc));
                bound->paramFlags.push_back(func->lprgelemdescParam[i].paramdesc.wParamFlags);
            }
            owner->ReleaseFuncDesc(func);
        } else if (kind == DESCKIND_VARDESC) {
            VARDESC* var = bind.lpvardesc;
            bound->id = var->memid;
            if (mode == kInvokePut) {
                DeclaredType type = declaredType(owner, var->elemdescVar.tdesc);
                bool reference = type.vt == VT_DISPATCH || type.vt == VT_UNKNOWN || (type.vt & VT_ARRAY);
                bound->flags = reference ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
                type.byReference = false;
                bound->params.push_back(type);
                bound->paramFlags.push_back(PARAMFLAG_FIN);
            } else {
                bound->flags = DISPATCH_PROPERTYGET;
            }
            owner->ReleaseVarDesc(var);
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

int32_t invokeBound(ComObjectBlock* object, const char* name, const DataCell* args, int32_t count,
                    InvokeMode mode, uint32_t resultType, DataCell* result) {
    InvokeResources res;
    res.name = ansiToBstr(name);
    if (!object || !object->unknown) return kComEmptyObject;
    if (FAILED(object->unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&res.dispatch))) ||
        !res.dispatch) {
        res.dispatch = nullptr;
        return kComNoDispatch;
    }
    LCID lcid = GetUserDefaultLCID();
    if (FAILED(res.dispatch->GetTypeInfo(0, lcid, &res.typeInfo)) || !res.typeInfo) {
        res.typeInfo = nullptr;
        return kComNoTypeInfo;
    }
    if (FAILED(res.typeInfo->GetTypeComp(&res.typeComp)) || !res.typeComp) {
        res.typeComp = nullptr;
        return kComNoTypeInfo;
    }

    BoundMember bound;
    if (int32_t code = bindMember(res.typeComp, res.name, mode, &bound); code != kComOk) return code;

    // Absent cells at the end are left out; inner ones stay as "not given".
    int32_t given = count;
    while (given > 0 && args[given - 1].absent()) --given;
    int32_t declared = static_cast<int32_t>(bound.params.size());
    if (given > declared && !bound.variableCount) return kComTooManyArguments;

    res.storage.resize(static_cast<size_t>(given));
    for (VARIANT& v : res.storage) VariantInit(&v);
    std::vector<VARIANT> passed(static_cast<size_t>(given));
    std::vector<bool> passedByReference(static_cast<size_t>(given), false);
    for (int32_t i = 0; i < given; ++i) {
        const DeclaredType& type = bound.params[static_cast<size_t>(i < declared ? i : declared - 1)];
        VARIANT& value = res.storage[static_cast<size_t>(i)];
        VARIANT& slot = passed[static_cast<size_t>(given - 1 - i)];  // last argument first
        if (!cellToVariant(args[i], type.vt, &value)) return kComBadArgument;
        VariantInit(&slot);
        bool reference = type.byReference && !args[i].absent();
        if (reference && (type.vt & VT_ARRAY)) {
            reference = (value.vt & VT_ARRAY) != 0;
            if (reference) {
                slot.vt = static_cast<VARTYPE>(VT_BYREF | value.vt);
                slot.pparray = &value.parray;
            }
        } else if (reference && type.vt == VT_VARIANT) {
            slot.vt = VT_BYREF | VT_VARIANT;
            slot.pvarVal = &value;
        } else if (reference) {
            reference = SUCCEEDED(VariantChangeType(&value, &value, 0, type.vt));
            if (reference) {
                slot.vt = static_cast<VARTYPE>(VT_BYREF | type.vt);
                slot.byref = &value.llVal;  // every scalar, string and pointer starts here
            }
        }
        if (!reference) std::memcpy(&slot, &value, sizeof(VARIANT));  // borrowed; storage owns it
        passedByReference[static_cast<size_t>(i)] = reference;
    }

    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{passed.empty() ? nullptr : passed.data(), nullptr, static_cast<UINT>(given), 0};
    if (bound.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    UINT argumentError = 0;
    HRESULT hr = res.dispatch->Invoke(bound.id, IID_NULL, lcid, bound.flags, &params, &res.result, nullptr,
                                      &argumentError);
    if (FAILED(hr)) return invokeFailure(hr);

    for (int32_t i = 0; i < given; ++i) {
        size_t p = static_cast<size_t>(i < declared ? i : declared - 1);
        if (!passedByReference[static_cast<size_t>(i)] || !(bound.paramFlags[p] & PARAMFLAG_FOUT)) continue;
        if (!args[i].byReference()) continue;
        writeBackVariable(res.storage[static_cast<size_t>(i)], args[i].valueType(),
                          reinterpret_cast<void*>(args[i].lo));
    }

    if (resultType != 0 && result) {
        uint32_t words[2];
        if (!variantToValue(res.result, resultType, words)) return kComBadResult;
        result->lo = words[0];
        result->hi = words[1];
        result->type = resultType;
    }
    return kComOk;
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
