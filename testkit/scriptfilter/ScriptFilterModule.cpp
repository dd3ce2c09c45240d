// Entry points of ScriptPageFilter.dll.
#include <windows.h>

#include "CScriptPageFilter.h"
#include "ScriptFilterModule.h"
#include "comserver/ClassFactory.h"
#include "scriptfilter/ScriptFilterClassId.h"

namespace {
struct ScriptClass {
    const CLSID* clsid;
    HRESULT CreateInstance(REFIID riid, void** ppv) const
    {
        return QueryNewObject(new (std::nothrow) CScriptPageFilter(), riid, ppv);
    }
};

const ScriptClass kClasses[] = {{&ScriptFilter::ClassId}};

LONG g_loads = 0;
LONG g_calls = 0;
char g_faultCall[32] = {};
LONG g_faultCountdown = 0;
ULONG g_initFlags = 0;
ULONG g_initCount = 0;
wchar_t g_firstName[256] = {};
}

void ScriptFilterModule::ObjectCreated()
{
    ServerLock::Increment();
}

void ScriptFilterModule::ObjectDestroyed()
{
    ServerLock::Decrement();
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

void ScriptFilterModule::Entered(const char* call)
{
    InterlockedIncrement(&g_calls);
    if (g_faultCountdown > 0 && lstrcmpA(call, g_faultCall) == 0 && --g_faultCountdown == 0) {
        volatile ULONG_PTR address = 16;
        *reinterpret_cast<volatile LONG*>(address) = 1;
    }
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(instance);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    ScriptFilterModule::Entered("classobject");
    return ServeClassObject(kClasses, clsid, riid, ppv);
}

STDAPI DllCanUnloadNow()
{
    return ServerLock::CanUnloadNow();
}

extern "C" LONG WINAPI ScriptFilterLoads()
{
    return g_loads;
}

extern "C" LONG WINAPI ScriptFilterLiveObjects()
{
    return ServerLock::Count();
}

extern "C" void WINAPI ScriptFilterPlanFault(const char* call, LONG nth)
{
    g_faultCountdown = 0;
    if (!call || nth <= 0)
        return;
    lstrcpynA(g_faultCall, call, sizeof(g_faultCall));
    g_faultCountdown = nth;
}

extern "C" LONG WINAPI ScriptFilterCalls()
{
    return g_calls;
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
