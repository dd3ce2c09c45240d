// Exports of the reference page filter DLL.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include "CPageFilter.h"
#include "FilterRegistration.h"
#include "ReferenceFilterIds.h"
#include "comserver/ClassFactory.h"
#include "comserver/ServerRegistration.h"

namespace {
struct ReferenceClass {
    const CLSID* clsid;
    bool html;
    unsigned takes;
    HRESULT CreateInstance(REFIID riid, void** ppv) const
    {
        return QueryNewObject(new (std::nothrow) CPageFilter(*clsid, html, takes), riid, ppv);
    }
};

const ReferenceClass kClasses[] = {
    {&CLSID_ReferenceHtmlFilter, true, CPageFilter::kTakesAll},
    {&CLSID_ReferenceTextFilter, false, CPageFilter::kTakesAll},
    {&CLSID_ReferenceHtmlPersistStreamOnly, true, CPageFilter::kTakesPersistStream},
    {&CLSID_ReferenceHtmlFileOnly, true, CPageFilter::kTakesFile},
};
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(instance);
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    return ServeClassObject(kClasses, clsid, riid, ppv);
}

extern "C" HRESULT WINAPI DllCanUnloadNow()
{
    return ServerLock::CanUnloadNow();
}

extern "C" HRESULT WINAPI DllRegisterServer()
{
    wchar_t path[MAX_PATH + 1] = {};
    if (!ServerRegistration::ModulePath(path))
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
