#include <gtest/gtest.h>

#include <string>

#include "support/FilterDllCopy.h"
#include "environment/CDLLsInformationBase.h"
#include "environment/FilterDllLoader.h"
#include "pagefilters/PageFilterClassIds.h"
#include "support/LoadedModule.h"
#include "support/ModuleLoadCount.h"
#include "support/ScratchFolder.h"
#include "foreign/ForeignPtr.h"

namespace {

namespace Ids = PageFilterClassIds;

class LoadFilterObject : public testing::Test {
protected:
    LoadFilterObject() : m_savedDirectory(CurrentDirectory())
    {
        m_callerDirectory = m_scratch.MakeFolder(L"caller");
        SetCurrentDirectoryW(m_callerDirectory.c_str());
    }
    ~LoadFilterObject() override { SetCurrentDirectoryW(m_savedDirectory.c_str()); }

    ComApartment m_com;
    ScratchFolder m_scratch;
    std::wstring m_savedDirectory;
    std::wstring m_callerDirectory;
    CDLLsInformationBase m_info;
};

TEST_F(LoadFilterObject, LoadsInTheDllFolderAndRestoresTheCurrentDirectory)
{
    FilterDllCopy dll(m_scratch, L"filters\\FreshLoad.dll");
    ForeignPtr<IFilter> filter;
    HMODULE module = m_info.LoadFilterObject(dll.Path().c_str(), Ids::AllPersistString, filter);

    ASSERT_NE(nullptr, module);
    EXPECT_EQ(dll.Loaded(), module);
    EXPECT_TRUE(filter);
    EXPECT_TRUE(SameFolder(m_callerDirectory, CurrentDirectory()));
    // The DLL saw its own folder while it was loaded, and the caller's again
    // by the time its class object was asked for.
    EXPECT_TRUE(SameFolder(dll.Folder(), dll.LoadDirectory())) << testing::PrintToString(dll.LoadDirectory());
    EXPECT_TRUE(SameFolder(m_callerDirectory, dll.ClassObjectDirectory()));
    EXPECT_EQ(1, dll.ClassObjectCalls());
}

// A DLL whose own start-up code faults as it loads. Wine's loader catches the
// fault itself and fails the load; a loader that lets it reach its caller is
// stood in for, one that has mapped the DLL by then (and holds it with COM's
// reference) and one that has not. Either way: no object, the caller's current
// directory back, and after a fault that reached us the DLL is not loaded or
// called again; one that was mapped stays loaded whoever lets go of it, so
// that its module handle is never another DLL's.
HINSTANCE STDAPICALLTYPE FaultBeforeTheDllIsMapped(LPOLESTR, BOOL)
{
    volatile ULONG_PTR address = 16;
    *reinterpret_cast<volatile LONG*>(address) = 1;
    return nullptr;
}

HINSTANCE STDAPICALLTYPE FaultAfterTheDllIsMapped(LPOLESTR path, BOOL autoFree)
{
    CoLoadLibrary(path, autoFree);
    return FaultBeforeTheDllIsMapped(path, autoFree);
}

TEST_F(LoadFilterObject, FaultWhileTheDllLoads)
{
    FilterDllCopy dll(m_scratch, L"filters\\FaultsOnLoad.dll");
    ForeignPtr<IFilter> filter;
    EXPECT_EQ(nullptr, m_info.LoadFilterObject(dll.Path().c_str(), Ids::AllPersistString, filter));
    EXPECT_FALSE(filter);
    EXPECT_TRUE(SameFolder(m_callerDirectory, CurrentDirectory()));

    struct Case {
        const char* name;
        FilterDllLoaderFn loader;
        bool mapped;
    };
    const Case cases[] = {
        {"fault before the DLL is mapped", FaultBeforeTheDllIsMapped, false},
        {"fault after the DLL is mapped", FaultAfterTheDllIsMapped, true},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FilterDllCopy other(m_scratch, L"filters\\Other" + std::to_wstring(++n) + L".dll");
        const FilterDllLoaderFn previous = SetFilterDllLoader(c.loader);
        EXPECT_EQ(nullptr, m_info.LoadFilterObject(other.Path().c_str(), Ids::AllPersistString, filter));
        SetFilterDllLoader(previous);
        EXPECT_FALSE(filter);
        EXPECT_TRUE(SameFolder(m_callerDirectory, CurrentDirectory()));
        EXPECT_TRUE(ForeignFaults::Process().Contains(other.Path().c_str()));
        const int count = ModuleLoadCount(other.Loaded());
        EXPECT_EQ(nullptr, m_info.LoadFilterObject(other.Path().c_str(), Ids::AllPersistString, filter));
        EXPECT_EQ(count, ModuleLoadCount(other.Loaded())) << "loaded again after its fault";
        if (!c.mapped) {
            EXPECT_EQ(nullptr, other.Loaded());
            continue;
        }
        ASSERT_NE(nullptr, other.Loaded());
        EXPECT_EQ(0, other.ClassObjectCalls()) << "called after its fault";
        // COM gives its reference back, as CoFreeUnusedLibraries may.
        FreeLibrary(other.Loaded());
        EXPECT_NE(nullptr, other.Loaded()) << "unloaded after its fault";
        EXPECT_TRUE(ForeignFaults::Process().Contains(other.Loaded()));
    }
    ForeignFaults::Process().ForgetAllForTests();
}

TEST_F(LoadFilterObject, DllAlreadyLoadedIsUsedWithoutANewReference)
{
    FilterDllCopy dll(m_scratch, L"filters\\Loaded.dll");
    ForeignPtr<IFilter> first;
    HMODULE module = m_info.LoadFilterObject(dll.Path().c_str(), Ids::AllPersistString, first);
    ASSERT_NE(nullptr, module);

    const std::wstring other = m_scratch.MakeFolder(L"other");
    SetCurrentDirectoryW(other.c_str());
    ForeignPtr<IFilter> second;
    EXPECT_EQ(module, m_info.LoadFilterObject(dll.Path().c_str(), Ids::StreamOnlyString, second));
    EXPECT_TRUE(second);
    EXPECT_TRUE(SameFolder(other, CurrentDirectory()));
    EXPECT_TRUE(SameFolder(other, dll.ClassObjectDirectory()));
    EXPECT_EQ(2, dll.ClassObjectCalls());

    // Only the first call took a reference: one FreeLibrary unloads the DLL.
    first.reset();
    second.reset();
    FreeLibrary(module);
    EXPECT_EQ(nullptr, dll.Loaded());
}

TEST_F(LoadFilterObject, FailuresGiveNoObjectAndLeakNothing)
{
    FilterDllCopy dll(m_scratch, L"filters\\Failures.dll");
    FilterDllCopy noExport(m_scratch, L"filters\\NoExport.dll", L"TestNoClassObject.dll");

    // A missing export: the DLL loads but nothing can be created from it.
    ForeignPtr<IFilter> filter;
    HMODULE module = m_info.LoadFilterObject(noExport.Path().c_str(), Ids::AllPersistString, filter);
    EXPECT_NE(nullptr, module);
    EXPECT_EQ(noExport.Loaded(), module);
    EXPECT_FALSE(filter);

    // A factory that fails is released again.
    module = m_info.LoadFilterObject(dll.Path().c_str(), Ids::FailingFactoryString, filter);
    EXPECT_EQ(dll.Loaded(), module);
    EXPECT_FALSE(filter);
    EXPECT_EQ(1, dll.ClassObjectCalls());
    EXPECT_EQ(0, dll.LiveObjects());

    // A class the DLL does not serve.
    EXPECT_EQ(module, m_info.LoadFilterObject(dll.Path().c_str(), L"{00000000-1111-2222-3333-444444444444}",
                                              filter));
    EXPECT_FALSE(filter);
    EXPECT_EQ(0, dll.LiveObjects());
    EXPECT_EQ(0, dll.LeftoverCalls()) << "what a refused call left in its out slot was used";
    EXPECT_TRUE(SameFolder(m_callerDirectory, CurrentDirectory()));
}

TEST_F(LoadFilterObject, EveryFailureReleasesWhatTheSlotHeld)
{
    FilterDllCopy dll(m_scratch, L"filters\\Slot.dll");
    const std::wstring longFolder = L"C:\\" + std::wstring(300, L'f') + L"\\page.dll";
    struct Case {
        const char* name;
        std::wstring path;
        const wchar_t* clsid;
    };
    const Case cases[] = {
        {"bad CLSID string", dll.Path(), L"not-a-clsid"},
        {"CLSID without braces", dll.Path(), L"C01E4438-767B-4455-B711-C2C5C2436E64"},
        {"missing DLL", m_scratch / L"filters\\missing.dll", Ids::AllPersistString},
        {"folder too long to split", longFolder, Ids::AllPersistString},
        {"empty path", L"", Ids::AllPersistString},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ForeignPtr<IFilter> filter;
        ASSERT_NE(nullptr, m_info.LoadFilterObject(dll.Path().c_str(), Ids::AllPersistString, filter));
        ASSERT_EQ(1, dll.LiveObjects());

        EXPECT_EQ(nullptr, m_info.LoadFilterObject(c.path.c_str(), c.clsid, filter));
        EXPECT_FALSE(filter);
        EXPECT_EQ(0, dll.LiveObjects());
        EXPECT_TRUE(SameFolder(m_callerDirectory, CurrentDirectory()));
    }
}

}  // namespace
