// Exports of the reference page filter DLL.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <new>

#include "CPageFilterFactory.h"
#include "FilterRegistration.h"
#include "PageFilterCount.h"
#include "ReferenceFilterIds.h"

volatile LONG g_pageFilterCount = 0;

namespace {
HMODULE g_self = nullptr;
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
    bool html;
    if (clsid == CLSID_ReferenceHtmlFilter)
        html = true;
    else if (clsid == CLSID_ReferenceTextFilter)
        html = false;
    else
        return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) CPageFilterFactory(clsid, html);
    if (!factory)
        return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

extern "C" HRESULT WINAPI DllCanUnloadNow()
{
    return g_pageFilterCount == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI DllRegisterServer()
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(g_self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return SELFREG_E_CLASS;
    try {
        return RegisterPageFilters(path);
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

extern "C" HRESULT WINAPI DllUnregisterServer()
{
    try {
        return UnregisterPageFilters();
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}
