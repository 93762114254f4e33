// Creating, copying and clearing COM object values; the thread's last result.
#include <cstring>

#include "runtime/com/com_value.h"
#include "runtime/com/variant_convert.h"
#include "runtime/heap.h"

namespace rt {

namespace {
thread_local int32_t tLastComResult = 0;

// Both forms of a "{...}" or ProgID text; CLSIDFromString only for braces,
// so a ProgID that happens to be registered oddly isn't misread.
bool classIdOf(const char* text, BSTR wide, CLSID* clsid) {
    if (text[0] == '{') return SUCCEEDED(CLSIDFromString(wide, clsid));
    return SUCCEEDED(CLSIDFromProgID(wide, clsid));
}

IUnknown* createFromTypeLibrary(BSTR name, const char* file) {
    BSTR wideFile = ansiToBstr(file);
    IUnknown* created = nullptr;
    ITypeLib* library = nullptr;
    if (SUCCEEDED(LoadTypeLib(wideFile, &library))) {
        ITypeInfo* info = nullptr;
        MEMBERID member = 0;
        USHORT found = 1;
        ULONG hash = LHashValOfNameSys(SYS_WIN32, GetUserDefaultLCID(), name);
        if (SUCCEEDED(library->FindName(name, hash, &info, &member, &found)) && found == 1 && info) {
            if (FAILED(info->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&created))))
                created = nullptr;
        }
        if (info) info->Release();
        if (created && std::strchr(file, '\\')) RegisterTypeLib(library, wideFile, nullptr);
        library->Release();
    }
    SysFreeString(wideFile);
    return created;
}
}  // namespace

int32_t lastComResult() { return tLastComResult; }
void setLastComResult(int32_t code) { tLastComResult = code; }

ComObjectBlock* objectBlockOf(const DataCell& cell) {
    return static_cast<ComObjectBlock*>(cell.asPointer());
}

VARIANT* variantBlockOf(const DataCell& cell) { return static_cast<VARIANT*>(cell.asPointer()); }

bool createComObject(ComObjectBlock* object, const char* progIdOrClsid, const char* typeLibraryFile) {
    if (!object || !progIdOrClsid || !*progIdOrClsid) return false;
    BSTR name = ansiToBstr(progIdOrClsid);
    IUnknown* created = nullptr;
    if (progIdOrClsid[0] != '{' && typeLibraryFile && *typeLibraryFile)
        created = createFromTypeLibrary(name, typeLibraryFile);
    if (!created) {
        CLSID clsid;
        if (!classIdOf(progIdOrClsid, name, &clsid)) {
            SysFreeString(name);
            return false;
        }
        // Remote servers first; systems that refuse that context get the local ones.
        HRESULT hr = CoCreateInstance(clsid, nullptr, 23, IID_IUnknown, reinterpret_cast<void**>(&created));
        if (hr == E_INVALIDARG)
            hr = CoCreateInstance(clsid, nullptr, 7, IID_IUnknown, reinterpret_cast<void**>(&created));
        if (FAILED(hr)) created = nullptr;
    }
    SysFreeString(name);
    if (!created) return false;
    if (FAILED(OleRun(created))) {
        created->Release();
        return false;
    }
    if (object->unknown) object->unknown->Release();
    object->unknown = created;
    return true;
}

void assignComObject(ComObjectBlock* target, const ComObjectBlock* source) {
    if (!target) return;
    IUnknown* incoming = source ? source->unknown : nullptr;
    if (incoming) incoming->AddRef();
    if (target->unknown) target->unknown->Release();
    target->unknown = incoming;
    target->reserved = 0;
}

void clearComObject(ComObjectBlock* object) {
    if (!object) return;
    if (object->unknown) object->unknown->Release();
    object->unknown = nullptr;
    object->reserved = 0;
}

void clearVariantBlock(VARIANT* variant) {
    if (!variant) return;
    VariantClear(variant);
    std::memset(variant, 0, sizeof(VARIANT));
}

}  // namespace rt
