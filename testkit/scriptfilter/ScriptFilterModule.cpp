// Entry points of ScriptPageFilter.dll.
#include <windows.h>

#include <new>

#include "CScriptPageFilterFactory.h"
#include "ScriptFilterModule.h"
#include "scriptfilter/ScriptFilterClassId.h"

namespace {
LONG g_liveObjects = 0;
LONG g_loads = 0;
ULONG g_initFlags = 0;
ULONG g_initCount = 0;
wchar_t g_firstName[256] = {};
}

void ScriptFilterModule::ObjectCreated()
{
    InterlockedIncrement(&g_liveObjects);
}

void ScriptFilterModule::ObjectDestroyed()
{
    InterlockedDecrement(&g_liveObjects);
}

void ScriptFilterModule::PageLoaded()
{
    InterlockedIncrement(&g_loads);
}

void ScriptFilterModule::RecordInit(ULONG flags, ULONG count, const FULLPROPSPEC* attributes)
{
    g_initFlags = flags;
    g_initCount = count;
    g_firstName[0] = L'\0';
    if (count > 0 && attributes && attributes[0].psProperty.ulKind == PRSPEC_LPWSTR && attributes[0].psProperty.lpwstr)
        lstrcpynW(g_firstName, attributes[0].psProperty.lpwstr, 256);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(instance);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid != ScriptFilter::ClassId)
        return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) CScriptPageFilterFactory();
    if (!factory)
        return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

STDAPI DllCanUnloadNow()
{
    return g_liveObjects == 0 ? S_OK : S_FALSE;
}

extern "C" LONG WINAPI ScriptFilterLoads()
{
    return g_loads;
}

extern "C" LONG WINAPI ScriptFilterLiveObjects()
{
    return g_liveObjects;
}

extern "C" void WINAPI ScriptFilterLastInit(ULONG* flags, ULONG* count, wchar_t* firstName, ULONG capacity)
{
    if (flags)
        *flags = g_initFlags;
    if (count)
        *count = g_initCount;
    if (firstName && capacity > 0)
        lstrcpynW(firstName, g_firstName, static_cast<int>(capacity));
}
