// Entry points of TestPageFilters.dll.
#include <windows.h>

#include <new>

#include "CTestPageFilter.h"
#include "CTestPageFilterFactory.h"
#include "PageFilterClassIds.h"
#include "PageFilterModule.h"

namespace {

LONG g_liveObjects = 0;
LONG g_classObjectCalls = 0;
wchar_t g_loadDirectory[MAX_PATH] = {};
wchar_t g_classObjectDirectory[MAX_PATH] = {};

struct ClassEntry {
    const CLSID* clsid;
    unsigned persist;
    bool failing;
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

void PageFilterModule::ObjectCreated()
{
    InterlockedIncrement(&g_liveObjects);
}

void PageFilterModule::ObjectDestroyed()
{
    InterlockedDecrement(&g_liveObjects);
}

LONG PageFilterModule::LiveObjects()
{
    return g_liveObjects;
}

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
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    InterlockedIncrement(&g_classObjectCalls);
    RecordCurrentDirectory(g_classObjectDirectory);
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (const auto& entry : kClasses) {
        if (clsid != *entry.clsid)
            continue;
        auto* factory = new (std::nothrow) CTestPageFilterFactory(entry.persist, entry.failing, *entry.clsid);
        if (!factory)
            return E_OUTOFMEMORY;
        const HRESULT hr = factory->QueryInterface(riid, ppv);
        factory->Release();
        return hr;
    }
    *ppv = PageFilterModule::Leftover();
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow()
{
    return g_liveObjects == 0 ? S_OK : S_FALSE;
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
    return g_liveObjects;
}

extern "C" const wchar_t* WINAPI TestPageFilterLoadDirectory()
{
    return g_loadDirectory;
}

extern "C" const wchar_t* WINAPI TestPageFilterClassObjectDirectory()
{
    return g_classObjectDirectory;
}
