// Entry points of TestPageFilters.dll.
#include <windows.h>

#include <cwchar>

#include "CTestPageFilter.h"
#include "PageFilterClassIds.h"
#include "PageFilterModule.h"
#include "comserver/ClassFactory.h"

namespace {

LONG g_classObjectCalls = 0;
wchar_t g_loadDirectory[MAX_PATH] = {};
wchar_t g_classObjectDirectory[MAX_PATH] = {};

struct ClassEntry {
    const CLSID* clsid;
    unsigned persist;
    // Every CreateInstance fails, like a filter whose set-up goes wrong.
    bool failing;

    HRESULT CreateInstance(REFIID riid, void** ppv) const
    {
        if (failing) {
            *ppv = PageFilterModule::Leftover();
            return E_OUTOFMEMORY;
        }
        return QueryNewObject(new (std::nothrow) CTestPageFilter(persist, *clsid), riid, ppv);
    }
};

const ClassEntry kClasses[] = {
    {&PageFilterClassIds::AllPersist, CTestPageFilter::kPersistAll, false},
    {&PageFilterClassIds::StreamOnly, CTestPageFilter::kPersistStream, false},
    {&PageFilterClassIds::NoPersist, 0, false},
    {&PageFilterClassIds::FailingFactory, CTestPageFilter::kPersistAll, true},
    {&PageFilterClassIds::LoadFails, CTestPageFilter::kPersistFile | CTestPageFilter::kFailLoad, false},
    {&PageFilterClassIds::StandardTables, CTestPageFilter::kPersistFile, false},
    {&PageFilterClassIds::DesktopSearchTables, CTestPageFilter::kPersistFile, false},
    {&PageFilterClassIds::OfficeServerTables, CTestPageFilter::kPersistFile, false},
    {&PageFilterClassIds::Sharepoint2003Tables, CTestPageFilter::kPersistFile, false},
};

class Leftover : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        InterlockedIncrement(&calls);
        if (ppv)
            *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&calls)); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(InterlockedIncrement(&calls)); }

    LONG calls = 0;
};
Leftover g_leftover;

void RecordCurrentDirectory(wchar_t* buffer)
{
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, buffer);
    if (length == 0 || length >= MAX_PATH)
        buffer[0] = L'\0';
}

}  // namespace

void* PageFilterModule::Leftover()
{
    return static_cast<IUnknown*>(&g_leftover);
}

LONG PageFilterModule::LeftoverCalls()
{
    return g_leftover.calls;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        RecordCurrentDirectory(g_loadDirectory);
        // A copy named so faults while it loads, as a DLL whose start-up
        // code crashes.
        wchar_t own[MAX_PATH] = {};
        GetModuleFileNameW(instance, own, MAX_PATH);
        if (wcsstr(own, L"FaultsOnLoad")) {
            volatile ULONG_PTR address = 16;
            *reinterpret_cast<volatile LONG*>(address) = 1;
        }
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    InterlockedIncrement(&g_classObjectCalls);
    RecordCurrentDirectory(g_classObjectDirectory);
    const HRESULT hr = ServeClassObject(kClasses, clsid, riid, ppv);
    if (hr == CLASS_E_CLASSNOTAVAILABLE)
        *ppv = PageFilterModule::Leftover();
    return hr;
}

STDAPI DllCanUnloadNow()
{
    return ServerLock::CanUnloadNow();
}

extern "C" LONG WINAPI TestPageFilterClassObjectCalls()
{
    return g_classObjectCalls;
}

extern "C" LONG WINAPI TestPageFilterLeftoverCalls()
{
    return PageFilterModule::LeftoverCalls();
}

extern "C" LONG WINAPI TestPageFilterLiveObjects()
{
    return ServerLock::Count();
}

extern "C" const wchar_t* WINAPI TestPageFilterLoadDirectory()
{
    return g_loadDirectory;
}

extern "C" const wchar_t* WINAPI TestPageFilterClassObjectDirectory()
{
    return g_classObjectDirectory;
}
