// Exports of the stand-in storage component. DllRegisterServer puts it in the
// place of the system's component; DllUnregisterServer gives the class back to
// Wine's own itss.dll.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <new>

#include "CStandInFactory.h"
#include "StandInCount.h"
#include "crawler/IITStorage.h"
#include "util/RegKey.h"

volatile LONG g_standInCount = 0;

namespace {
HMODULE g_self = nullptr;
const wchar_t kServerKey[] = L"CLSID\\{5D02926A-212E-11D0-9DF9-00A0C922E6EC}\\InprocServer32";

LONG SetString(HKEY key, const wchar_t* name, const wchar_t* value)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(wchar_t)));
}
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid != CLSID_ITStorage)
        return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) CStandInFactory;
    if (!factory)
        return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

extern "C" HRESULT WINAPI DllCanUnloadNow()
{
    return g_standInCount == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI DllRegisterServer()
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(g_self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return SELFREG_E_CLASS;
    RegKey key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, kServerKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) !=
            ERROR_SUCCESS ||
        SetString(key.get(), nullptr, path) != ERROR_SUCCESS ||
        SetString(key.get(), L"ThreadingModel", L"Both") != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    return S_OK;
}

extern "C" HRESULT WINAPI DllUnregisterServer()
{
    HMODULE itss = LoadLibraryW(L"itss.dll");
    if (!itss)
        return SELFREG_E_CLASS;
    using RegisterFn = HRESULT(WINAPI*)();
    auto reg = reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(GetProcAddress(itss, "DllRegisterServer")));
    const HRESULT hr = reg ? reg() : SELFREG_E_CLASS;
    FreeLibrary(itss);
    return hr;
}
