/* The up-to-date case done directly, as the yardstick of scripts/bench-startup:
   GET the version file through the system's HTTP request object, take the MD5
   of the installed updater, and when the version file names that digest start
   the updater. Exits 1 (nothing started) on any failure. */
#define COBJMACROS
#include <windows.h>
#include <ole2.h>
#include <wincrypt.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifndef PELMORA_UPDATE_BASE_URL
#error "PELMORA_UPDATE_BASE_URL: the base URL of the update server"
#endif

static const char kVersionUrl[] = PELMORA_UPDATE_BASE_URL "/pl/plmr/danpeizhib.txt";
static const char kUpdater[] = "C:\\Users\\Administrator\\Desktop\\QRVN服务端\\Pelmora更新.exe";

/* One member call by name; args in reverse order, as Invoke takes them. */
static HRESULT invoke(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* args, UINT count,
                      VARIANT* result) {
    LPOLESTR names[1] = {(LPOLESTR)name};
    DISPPARAMS params = {args, NULL, count, 0};
    DISPID id;
    HRESULT hr = IDispatch_GetIDsOfNames(object, &IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    return IDispatch_Invoke(object, id, &IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, NULL, NULL);
}

static BSTR bstrOf(const char* text) {
    wchar_t wide[512];
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 512);
    return SysAllocString(wide);
}

/* The version file's body as a NUL-terminated copy, or NULL. */
static char* fetchVersionFile(void) {
    CLSID clsid;
    IDispatch* request = NULL;
    VARIANT open[3], body;
    char* text = NULL;
    if (FAILED(CLSIDFromProgID(L"WinHttp.WinHttpRequest.5.1", &clsid)) ||
        FAILED(CoCreateInstance(&clsid, NULL, CLSCTX_INPROC_SERVER, &IID_IDispatch, (void**)&request)))
        return NULL;
    V_VT(&open[0]) = VT_BOOL, V_BOOL(&open[0]) = VARIANT_FALSE;
    V_VT(&open[1]) = VT_BSTR, V_BSTR(&open[1]) = bstrOf(kVersionUrl);
    V_VT(&open[2]) = VT_BSTR, V_BSTR(&open[2]) = SysAllocString(L"GET");
    VariantInit(&body);
    if (SUCCEEDED(invoke(request, L"Open", DISPATCH_METHOD, open, 3, NULL)) &&
        SUCCEEDED(invoke(request, L"Send", DISPATCH_METHOD, NULL, 0, NULL)) &&
        SUCCEEDED(invoke(request, L"ResponseBody", DISPATCH_PROPERTYGET, NULL, 0, &body)) &&
        V_VT(&body) == (VT_ARRAY | VT_UI1)) {
        LONG low = 0, high = -1;
        void* data;
        SafeArrayGetLBound(V_ARRAY(&body), 1, &low);
        SafeArrayGetUBound(V_ARRAY(&body), 1, &high);
        if (SUCCEEDED(SafeArrayAccessData(V_ARRAY(&body), &data))) {
            size_t size = (size_t)(high - low + 1);
            text = malloc(size + 1);
            memcpy(text, data, size);
            text[size] = 0;
            SafeArrayUnaccessData(V_ARRAY(&body));
        }
    }
    VariantClear(&body);
    VariantClear(&open[1]);
    VariantClear(&open[2]);
    IDispatch_Release(request);
    return text;
}

/* The file's MD5 in lower-case hex; false when it cannot be read. */
static BOOL md5OfFile(const char* path, char hex[33]) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    HCRYPTPROV provider;
    HCRYPTHASH hash;
    BYTE digest[16], buffer[65536];
    DWORD got, size = sizeof digest;
    BOOL ok = FALSE;
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    if (CryptAcquireContextA(&provider, NULL, NULL, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        if (CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
            ok = TRUE;
            while (ok && ReadFile(file, buffer, sizeof buffer, &got, NULL) && got)
                ok = CryptHashData(hash, buffer, got, 0);
            if (ok && CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0))
                for (int i = 0; i < 16; ++i) sprintf(hex + 2 * i, "%02x", digest[i]);
            else
                ok = FALSE;
            CryptDestroyHash(hash);
        }
        CryptReleaseContext(provider, 0);
    }
    CloseHandle(file);
    return ok;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    char digest[33], line[MAX_PATH];
    char* version;
    BOOL current;
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;

    CoInitialize(NULL);
    version = fetchVersionFile();
    current = version && md5OfFile(kUpdater, digest) && strstr(version, digest);
    free(version);
    CoUninitialize();
    if (!current) return 1;

    lstrcpynA(line, kUpdater, MAX_PATH);
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) return 1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
