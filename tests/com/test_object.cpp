#include "tests/com/test_object.h"

#include <cstdio>
#include <cwchar>
#include <initializer_list>

namespace com_test {

namespace {

struct ITestObject : IDispatch {
    virtual HRESULT __stdcall Swap(BSTR* text, LONG* number) = 0;
    virtual HRESULT __stdcall Fill(VARIANT* value) = 0;
    virtual HRESULT __stdcall Replace(IUnknown** object) = 0;
    virtual HRESULT __stdcall Twice(LONG value, VARIANT* result) = 0;
};

// The vtable object behind the standard dispatch; it lives for the process.
class TestObject final : public ITestObject {
public:
    IUnknown* dispatch = nullptr;  // the standard dispatch object wrapping this one

    HRESULT __stdcall QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG __stdcall AddRef() override { return 2; }
    ULONG __stdcall Release() override { return 1; }
    HRESULT __stdcall GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT __stdcall Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT __stdcall Swap(BSTR* text, LONG* number) override {
        UINT length = SysStringLen(*text);
        BSTR longer = SysAllocStringLen(nullptr, length + 1);
        if (length) memcpy(longer, *text, length * sizeof(OLECHAR));
        longer[length] = L'!';
        SysFreeString(*text);
        *text = longer;
        *number *= 2;
        return S_OK;
    }
    HRESULT __stdcall Fill(VARIANT* value) override {
        VariantClear(value);
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(L"filled");
        return S_OK;
    }
    HRESULT __stdcall Replace(IUnknown** object) override {
        if (*object) (*object)->Release();
        dispatch->AddRef();
        *object = dispatch;
        return S_OK;
    }
    HRESULT __stdcall Twice(LONG value, VARIANT* result) override {
        VariantClear(result);
        result->vt = VT_I4;
        result->lVal = value * 2;
        return S_OK;
    }
};

TestObject gObject;

struct Param {
    VARTYPE pointee;
    bool pointer;
    USHORT flags;
    HREFTYPE userType = 0;  // the type a VT_USERDEFINED pointee names
};

// Adds function `index` with `params`: a slot of the vtable after
// IDispatch's seven, or a member of a dispatch interface.
HRESULT addFunction(ICreateTypeInfo* info, UINT index, MEMBERID id, const wchar_t* const* names,
                    std::initializer_list<Param> params, FUNCKIND kind = FUNC_PUREVIRTUAL) {
    TYPEDESC pointees[4];
    ELEMDESC elements[4] = {};
    UINT i = 0;
    for (const Param& p : params) {
        pointees[i].vt = p.pointee;
        pointees[i].hreftype = p.userType;
        if (p.pointer) {
            elements[i].tdesc.vt = VT_PTR;
            elements[i].tdesc.lptdesc = &pointees[i];
        } else {
            elements[i].tdesc.vt = p.pointee;
        }
        elements[i].paramdesc.wParamFlags = p.flags;
        ++i;
    }
    FUNCDESC func{};
    func.memid = id;
    func.funckind = kind;
    func.invkind = INVOKE_FUNC;
    func.callconv = CC_STDCALL;
    func.cParams = static_cast<SHORT>(i);
    func.lprgelemdescParam = elements;
    func.elemdescFunc.tdesc.vt = kind == FUNC_DISPATCH ? VT_VOID : VT_HRESULT;
    if (kind == FUNC_PUREVIRTUAL) func.oVft = static_cast<SHORT>((7 + index) * sizeof(void*));
    HRESULT hr = info->AddFuncDesc(index, &func);
    if (SUCCEEDED(hr)) hr = info->SetFuncAndParamNames(index, const_cast<LPOLESTR*>(names), i + 1);
    return hr;
}

// Adds IDispatch, from the system's standard library, as the base of `info`.
HRESULT deriveFromDispatch(ICreateTypeInfo* info) {
    static const GUID kStdOle = {0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    ITypeLib* stdole = nullptr;
    ITypeInfo* dispatchInfo = nullptr;
    HREFTYPE base = 0;
    HRESULT hr = LoadRegTypeLib(kStdOle, 2, 0, 0, &stdole);
    if (SUCCEEDED(hr)) hr = stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatchInfo);
    if (SUCCEEDED(hr)) hr = info->AddRefTypeInfo(dispatchInfo, &base);
    if (SUCCEEDED(hr)) hr = info->AddImplType(0, base);
    if (dispatchInfo) dispatchInfo->Release();
    if (stdole) stdole->Release();
    return hr;
}

// The type `name` of a fresh library that is never saved: `kind` with the
// `typeFlags`, derived from IDispatch, its members added by `addMembers`.
// `tag` keeps the library's and the type's identifiers apart from other
// types'. Null, with a line on the error output, when a step fails.
template <class AddMembers>
ITypeInfo* buildTypeInfo(const wchar_t* name, TYPEKIND kind, UINT typeFlags, BYTE tag, AddMembers addMembers) {
    wchar_t path[MAX_PATH];
    GetTempPathW(MAX_PATH, path);
    wcscat(path, L"pelmora-test-object.tlb");
    ICreateTypeLib2* library = nullptr;
    if (FAILED(CreateTypeLib2(SYS_WIN32, path, &library))) return nullptr;
    const GUID libraryId = {0x5e1f0a01, 0x1b2c, 0x4d3e, {0x9f, 0x10, 0x11, 0x22, 0x33, 0x44, 0x55, tag}};
    const GUID typeId = {0x5e1f0a01, 0x1b2c, 0x4d3e, {0x9f, 0x10, 0x11, 0x22, 0x33, 0x44, 0x55, BYTE(tag + 1)}};
    library->SetGuid(libraryId);
    ICreateTypeInfo* info = nullptr;
    ITypeInfo* out = nullptr;
    HRESULT hr = library->CreateTypeInfo(const_cast<LPOLESTR>(name), kind, &info);
    if (SUCCEEDED(hr)) hr = info->SetGuid(typeId);
    if (SUCCEEDED(hr)) hr = info->SetTypeFlags(typeFlags);
    if (SUCCEEDED(hr)) hr = deriveFromDispatch(info);
    if (SUCCEEDED(hr)) hr = addMembers(info);
    if (SUCCEEDED(hr)) hr = info->LayOut();
    if (SUCCEEDED(hr)) hr = info->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&out));
    if (FAILED(hr)) std::fprintf(stderr, "type information of %ls: 0x%08lx\n", name, hr);
    if (info) info->Release();
    library->Release();
    return SUCCEEDED(hr) ? out : nullptr;
}

// The vtable members of ITestObject, in their slot order.
HRESULT addTestObjectMembers(ICreateTypeInfo* info) {
    static const wchar_t* const kSwap[] = {L"Swap", L"text", L"number"};
    static const wchar_t* const kFill[] = {L"Fill", L"value"};
    static const wchar_t* const kReplace[] = {L"Replace", L"object"};
    static const wchar_t* const kTwice[] = {L"Twice", L"value", L"result"};
    const USHORT inOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;
    HRESULT hr = addFunction(info, 0, 1, kSwap, {{VT_BSTR, true, inOut}, {VT_I4, true, inOut}});
    if (SUCCEEDED(hr)) hr = addFunction(info, 1, 2, kFill, {{VT_VARIANT, true, PARAMFLAG_FOUT}});
    if (SUCCEEDED(hr)) hr = addFunction(info, 2, 3, kReplace, {{VT_UNKNOWN, true, inOut}});
    if (SUCCEEDED(hr)) hr = addFunction(info, 3, 4, kTwice, {{VT_I4, false, PARAMFLAG_FIN}, {VT_VARIANT, true, inOut}});
    return hr;
}

// Adds property `index` of a dispatch interface, of the type `desc`.
HRESULT addProperty(ICreateTypeInfo* info, UINT index, MEMBERID id, const wchar_t* name, const TYPEDESC& desc) {
    VARDESC var{};
    var.memid = id;
    var.varkind = VAR_DISPATCH;
    var.elemdescVar.tdesc = desc;
    HRESULT hr = info->AddVarDesc(index, &var);
    if (SUCCEEDED(hr)) hr = info->SetVarName(index, const_cast<LPOLESTR>(name));
    return hr;
}

// The methods of IRecorder (see test_object.h); its own type is the
// pointee of Take's second parameter.
HRESULT addRecorderMethods(ICreateTypeInfo* info) {
    ITypeInfo* self = nullptr;
    HREFTYPE selfType = 0;
    HRESULT hr = info->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&self));
    if (SUCCEEDED(hr)) hr = info->AddRefTypeInfo(self, &selfType);
    if (self) self->Release();
    static const wchar_t* const kPeek[] = {L"Peek", L"seen", L"changed"};
    static const wchar_t* const kMark[] = {L"Mark", L"value", L"count"};
    static const wchar_t* const kTake[] = {L"Take", L"dispatch", L"recorder", L"unknown"};
    const USHORT in = PARAMFLAG_FIN;
    const USHORT inOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;
    if (SUCCEEDED(hr)) hr = addFunction(info, 0, 1, kPeek, {{VT_I4, true, in}, {VT_I4, true, inOut}}, FUNC_DISPATCH);
    if (SUCCEEDED(hr))
        hr = addFunction(info, 1, 2, kMark, {{VT_VARIANT, true, inOut}, {VT_I4, false, in}}, FUNC_DISPATCH);
    if (SUCCEEDED(hr))
        hr = addFunction(info, 2, 3, kTake,
                         {{VT_DISPATCH, false, in}, {VT_USERDEFINED, true, in, selfType}, {VT_UNKNOWN, false, in}},
                         FUNC_DISPATCH);
    return hr;
}

// The methods and properties of IRecorder.
HRESULT addRecorderMembers(ICreateTypeInfo* info) {
    TYPEDESC variantElement{};
    variantElement.vt = VT_VARIANT;
    TYPEDESC items{};
    items.vt = VT_SAFEARRAY;
    items.lptdesc = &variantElement;
    TYPEDESC dispatch{}, unknown{}, count{};
    dispatch.vt = VT_DISPATCH;
    unknown.vt = VT_UNKNOWN;
    count.vt = VT_I4;
    HRESULT hr = addRecorderMethods(info);
    if (SUCCEEDED(hr)) hr = addProperty(info, 0, 10, L"Target", dispatch);
    if (SUCCEEDED(hr)) hr = addProperty(info, 1, 11, L"Source", unknown);
    if (SUCCEEDED(hr)) hr = addProperty(info, 2, 12, L"Items", items);
    if (SUCCEEDED(hr)) hr = addProperty(info, 3, 13, L"Count", count);
    return hr;
}

// Answers every member by writing down the call; it lives for the process.
class Recorder final : public IDispatch {
public:
    ITypeInfo* info = nullptr;
    RecordedCall last;

    HRESULT __stdcall QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IDispatch ? static_cast<IDispatch*>(this) : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG __stdcall AddRef() override { return 2; }
    ULONG __stdcall Release() override { return 1; }
    HRESULT __stdcall GetTypeInfoCount(UINT* count) override {
        *count = 1;
        return S_OK;
    }
    HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
        info->AddRef();
        *out = info;
        return S_OK;
    }
    HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT __stdcall Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                             UINT*) override {
        last = {id, flags, {}};
        for (UINT i = params->cArgs; i-- > 0;) {
            VARIANT& arg = params->rgvarg[i];
            last.args.push_back(arg.vt);
            if (arg.vt == (VT_BYREF | VT_I4)) *arg.plVal = kRecorderWrites;
        }
        return S_OK;
    }
};

Recorder gRecorder;

// Each type's library and interface identifiers end in its tag and the next byte.
constexpr BYTE kTestObjectTag = 0x01;
constexpr BYTE kRecorderTag = 0x03;

}  // namespace

IUnknown* createTestObject() {
    static ITypeInfo* info = buildTypeInfo(L"ITestObject", TKIND_INTERFACE, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION,
                                           kTestObjectTag, addTestObjectMembers);
    if (!info) return nullptr;
    if (!gObject.dispatch && FAILED(CreateStdDispatch(nullptr, &gObject, info, &gObject.dispatch))) return nullptr;
    gObject.dispatch->AddRef();
    return gObject.dispatch;
}

IUnknown* createRecorder() {
    if (!gRecorder.info)
        gRecorder.info = buildTypeInfo(L"IRecorder", TKIND_DISPATCH, 0, kRecorderTag, addRecorderMembers);
    return gRecorder.info ? static_cast<IDispatch*>(&gRecorder) : nullptr;
}

const RecordedCall& lastRecordedCall() { return gRecorder.last; }

}  // namespace com_test
