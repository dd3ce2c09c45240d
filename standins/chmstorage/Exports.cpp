// Exports of the stand-in storage component. DllRegisterServer puts it in the
// place of the system's component; DllUnregisterServer gives the class back to
// Wine's own itss.dll.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include "CChmTree.h"
#include "CStandInComponent.h"
#include "PlatformHeapCheck.h"
#include "comserver/ClassFactory.h"
#include "comserver/ServerRegistration.h"
#include "crawler/IITStorage.h"

namespace {
struct StandInClass {
    const CLSID* clsid;
    HRESULT CreateInstance(REFIID riid, void** ppv) const
    {
        return QueryNewObject(new (std::nothrow) CStandInComponent, riid, ppv);
    }
};

const StandInClass kClasses[] = {{&CLSID_ITStorage}};
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

// For the fuzzer's watchdog: where the heap checks of the storage calls stand.
extern "C" void WINAPI StandInHeapCheckWhere(const char** phase, const char** call)
{
    PlatformHeapCheck::Where(phase, call);
}

// For the memory benchmark: what Wine's component has kept for good so far.
extern "C" LONGLONG WINAPI StandInPlatformKeptBytes()
{
    return CChmTree::PlatformKeptBytes();
}

extern "C" HRESULT WINAPI DllRegisterServer()
{
    wchar_t path[MAX_PATH + 1] = {};
    if (!ServerRegistration::ModulePath(path) || !ServerRegistration::RegisterInprocServer(CLSID_ITStorage, path))
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
