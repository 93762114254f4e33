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
};

HRESULT addFunction(ICreateTypeInfo* info, UINT index, MEMBERID id, const wchar_t* const* names,
                    std::initializer_list<Param> params) {
    TYPEDESC pointees[4];
    ELEMDESC elements[4] = {};
    UINT i = 0;
    for (const Param& p : params) {
        pointees[i].vt = p.pointee;
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
    func.funckind = FUNC_PUREVIRTUAL;
    func.invkind = INVOKE_FUNC;
    func.callconv = CC_STDCALL;
    func.cParams = static_cast<SHORT>(i);
    func.lprgelemdescParam = elements;
    func.elemdescFunc.tdesc.vt = VT_HRESULT;
    func.oVft = static_cast<SHORT>((7 + index) * sizeof(void*));
    HRESULT hr = info->AddFuncDesc(index, &func);
    if (SUCCEEDED(hr)) hr = info->SetFuncAndParamNames(index, const_cast<LPOLESTR*>(names), i + 1);
    return hr;
}

ITypeInfo* buildTypeInfo() {
    wchar_t path[MAX_PATH];
    GetTempPathW(MAX_PATH, path);
    wcscat(path, L"pelmora-test-object.tlb");  // named, never saved
    ICreateTypeLib2* library = nullptr;
    if (FAILED(CreateTypeLib2(SYS_WIN32, path, &library))) return nullptr;
    static const GUID kLibrary = {0x5e1f0a01, 0x1b2c, 0x4d3e, {0x9f, 0x10, 0x11, 0x22, 0x33, 0x44, 0x55, 0x01}};
    static const GUID kInterface = {0x5e1f0a01, 0x1b2c, 0x4d3e, {0x9f, 0x10, 0x11, 0x22, 0x33, 0x44, 0x55, 0x02}};
    library->SetGuid(kLibrary);
    ICreateTypeInfo* info = nullptr;
    ITypeInfo* out = nullptr;
    ITypeLib* stdole = nullptr;
    ITypeInfo* dispatchInfo = nullptr;
    static const GUID kStdOle = {0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    HREFTYPE base = 0;
    HRESULT hr = library->CreateTypeInfo(const_cast<LPOLESTR>(L"ITestObject"), TKIND_INTERFACE, &info);
    if (SUCCEEDED(hr)) hr = info->SetGuid(kInterface);
    if (SUCCEEDED(hr)) hr = info->SetTypeFlags(TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION);
    if (SUCCEEDED(hr)) hr = LoadRegTypeLib(kStdOle, 2, 0, 0, &stdole);
    if (SUCCEEDED(hr)) hr = stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatchInfo);
    if (SUCCEEDED(hr)) hr = info->AddRefTypeInfo(dispatchInfo, &base);
    if (SUCCEEDED(hr)) hr = info->AddImplType(0, base);
    static const wchar_t* const kSwap[] = {L"Swap", L"text", L"number"};
    static const wchar_t* const kFill[] = {L"Fill", L"value"};
    static const wchar_t* const kReplace[] = {L"Replace", L"object"};
    static const wchar_t* const kTwice[] = {L"Twice", L"value", L"result"};
    const USHORT inOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;
    if (SUCCEEDED(hr)) hr = addFunction(info, 0, 1, kSwap, {{VT_BSTR, true, inOut}, {VT_I4, true, inOut}});
    if (SUCCEEDED(hr)) hr = addFunction(info, 1, 2, kFill, {{VT_VARIANT, true, PARAMFLAG_FOUT}});
    if (SUCCEEDED(hr)) hr = addFunction(info, 2, 3, kReplace, {{VT_UNKNOWN, true, inOut}});
    if (SUCCEEDED(hr)) hr = addFunction(info, 3, 4, kTwice, {{VT_I4, false, PARAMFLAG_FIN}, {VT_VARIANT, true, inOut}});
    if (SUCCEEDED(hr)) hr = info->LayOut();
    if (SUCCEEDED(hr)) hr = info->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&out));
    if (FAILED(hr)) std::fprintf(stderr, "test object type information: 0x%08lx\n", hr);
    if (dispatchInfo) dispatchInfo->Release();
    if (stdole) stdole->Release();
    if (info) info->Release();
    library->Release();
    return SUCCEEDED(hr) ? out : nullptr;
}

}  // namespace

IUnknown* createTestObject() {
    static ITypeInfo* info = buildTypeInfo();
    if (!info) return nullptr;
    if (!gObject.dispatch && FAILED(CreateStdDispatch(nullptr, &gObject, info, &gObject.dispatch))) return nullptr;
    gObject.dispatch->AddRef();
    return gObject.dispatch;
}

}  // namespace com_test
