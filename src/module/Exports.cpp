// The DLL's entry point and exported class-object functions.
#include <windows.h>

#include <olectl.h>

#include <new>

#include "module/CIFilterBaseCF.h"
#include "module/CIFitlerBaseApp.h"
#include "registration/SelfRegistration.h"
#include "util/com/FilterClassId.h"
#include "util/com/ModuleCount.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        return theApp.InitInstance(instance);
    case DLL_PROCESS_DETACH:
        theApp.ExitInstance();
        break;
    default:
        break;
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    try {
        if (clsid != CLSID_TavrinolexFilter)
            return CLASS_E_CLASSNOTAVAILABLE;
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;

        auto* factory = new (std::nothrow) CIFilterBaseCF();
        if (!factory)
            return E_OUTOFMEMORY;
        if (FAILED(factory->QueryInterface(riid, ppv))) {
            *ppv = nullptr;
            factory->Release();  // takes the module count back with it
            return E_UNEXPECTED;
        }
        factory->Release();
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return g_moduleCount > 0 ? S_FALSE : S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    try {
        return RegisterFilter(theApp.Instance(), &GetVersionExW);
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    try {
        return UnregisterFilter();
    } catch (...) {
        return S_FALSE;
    }
}
