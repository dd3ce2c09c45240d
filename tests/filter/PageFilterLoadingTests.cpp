// Making page filters for extracted pages: the extension rule, which pages get
// a filter, and the module references a page leaves behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "support/LookupFixture.h"
#include "filter/CHostProcessInfo.h"
#include "registry/CIFilterRegistryHelperIndexingService30.h"
#include "scriptfilter/ScriptFilterClassId.h"
#include "support/ModuleLoadCount.h"
#include "support/ScopedXmlClasses.h"
#include "support/WinePath.h"

namespace {
namespace L = LookupFixture;
namespace Ids = PageFilterClassIds;

TEST(PageExtension, IsTheUpperCasedExtensionOfTheFileNamePart)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* want;  // null: none
    };
    const Case cases[] = {
        {L"C:\\t\\page.HtM", L".HTM"},
        {L"C:\\t\\a.b.c.html", L".HTML"},
        {L"page.txt", L".TXT"},
        {L"C:\\t\\index", nullptr},
        {L"C:\\t\\notes.", nullptr},
        {L"C:\\dir.htm\\readme", nullptr},
        {L"C:\\dir.htm/readme", nullptr},
        {L"", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.path));
        wchar_t extension[CHostProcessInfo::kPartCapacity] = L"x";
        EXPECT_EQ(c.want != nullptr, CHostProcessInfo::PageExtension(c.path, extension, CHostProcessInfo::kPartCapacity) != FALSE);
        EXPECT_STREQ(c.want ? c.want : L"", extension);
    }
    const std::wstring longExtension = L"C:\\t\\page." + std::wstring(256, L'x');
    wchar_t extension[CHostProcessInfo::kPartCapacity];
    EXPECT_FALSE(CHostProcessInfo::PageExtension(longExtension.c_str(), extension, CHostProcessInfo::kPartCapacity));
}

// The test page filters registered for an extension each.
class PageLoading : public L::Fixture {
protected:
    void SetUp() override
    {
        L::Fixture::SetUp();
        L::RegisterFilterClass(Ids::LoadFailsString, m_dll->Path());
        Link(L"htm", Ids::AllPersistString);
        Link(L"so", Ids::StreamOnlyString);
        Link(L"np", Ids::NoPersistString);
        Link(L"ff", Ids::FailingFactoryString);
        Link(L"lf", Ids::LoadFailsString);
    }

    // The faults a test plants stay in the process's record otherwise.
    void TearDown() override
    {
        ForeignFaults::Process().ForgetAllForTests();
        L::Fixture::TearDown();
    }

    // Each class serves as its own persistent handler.
    static void Link(const wchar_t* extension, const wchar_t* clsid)
    {
        L::RegisterHandler(clsid, clsid);
        L::LinkExtensionHandler(extension, clsid);
    }

    static CLSID ClassOf(ForeignPtr<IFilter>& filter)
    {
        CLSID clsid = CLSID_NULL;
        ForeignPtr<IPersist> persist = filter.query<IPersist>(IID_IPersist);
        persist.call([&clsid](IPersist* p) { p->GetClassID(&clsid); });
        return clsid;
    }

    CHostProcessInfo m_host{L"C:\\Windows\\System32\\cidaemon.exe"};
};

TEST_F(PageLoading, PagesWithoutExtensionAreNotLookedUp)
{
    // A registration for the empty extension: a page without one would find it
    // if it were looked up at all.
    Link(L"", Ids::AllPersistString);
    CIFilterRegistryHelperIndexingService30 helper;
    FilterLookupRecord record;
    ASSERT_TRUE(L::Lookup(helper, L"", record));

    for (const wchar_t* page : {L"C:\\t\\index", L"C:\\t\\notes.", L"C:\\t.htm\\readme"}) {
        SCOPED_TRACE(Narrow(page));
        record.Initialise();
        EXPECT_FALSE(m_host.FindFilter(page, record));
        EXPECT_EQ(nullptr, record.dllsInformation) << "no lookup was begun";
        ForeignPtr<IFilter> filter;
        EXPECT_FALSE(m_host.LoadPageFilter(page, filter));
        EXPECT_FALSE(filter);
    }
    record.Initialise();
    EXPECT_TRUE(m_host.FindFilter(L"C:\\t\\page.HtM", record));
    EXPECT_TRUE(L::SamePath(m_dll->Path(), record.filterDllPath));
}

TEST_F(PageLoading, OnlyAClassThatLoadsTheFileThroughIPersistFileGivesAPageFilter)
{
    const std::wstring page = m_folder.WriteFile(L"pages\\page.x", "<html>");
    struct Case {
        const wchar_t* extension;
        bool made;
    };
    const Case cases[] = {
        {L"htm", true},   // all three persistence interfaces
        {L"HtM", true},
        {L"so", false},   // IPersistStream only: never used for pages
        {L"np", false},   // no persistence interface
        {L"ff", false},   // the factory fails
        {L"lf", false},   // IPersistFile::Load fails
        {L"gif", false},  // nothing registered
    };
    // The host has the DLL loaded already, so every reference counts.
    LoadedModule hostsOwn(m_dll->Path());
    const int start = ModuleLoadCount(hostsOwn.get());
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.extension));
        const std::wstring path = page.substr(0, page.size() - 1) + c.extension;
        MoveFileW(page.c_str(), path.c_str());
        {
            ForeignPtr<IFilter> filter;
            ForeignModule module = m_host.LoadPageFilter(path.c_str(), filter);
            EXPECT_EQ(c.made, static_cast<bool>(filter));
            EXPECT_EQ(c.made, static_cast<bool>(module));
            if (c.made) {
                EXPECT_EQ(hostsOwn.get(), module.get());
                EXPECT_TRUE(IsEqualCLSID(Ids::AllPersist, ClassOf(filter)));
                EXPECT_EQ(start + 1, ModuleLoadCount(hostsOwn.get())) << "the page holds one reference";
            }
        }
        EXPECT_EQ(0, m_dll->LiveObjects()) << "no object left behind";
        EXPECT_EQ(start, ModuleLoadCount(hostsOwn.get()));
        MoveFileW(path.c_str(), page.c_str());
    }
}

TEST_F(PageLoading, AFailedLoadIFilterGivesNoPageFilterAndKeepsNoReference)
{
    FilterDllCopy pdf(m_folder, L"Reader\\pdffilt.dll");
    L::RegisterFilterClass(Ids::LoadFailsString, pdf.Path());
    Link(L"pdf", Ids::LoadFailsString);
    LoadedModule hostsOwn(pdf.Path());
    const int start = ModuleLoadCount(hostsOwn.get());
    const std::wstring page = m_folder.WriteFile(L"page.pdf", "page");

    ForeignPtr<IFilter> filter;
    EXPECT_FALSE(m_host.LoadPageFilter(page.c_str(), filter));
    EXPECT_FALSE(filter);
    EXPECT_EQ(0, pdf.LiveObjects());
    EXPECT_GE(ModuleLoadCount(hostsOwn.get()), start) << "the host's reference stays";
    EXPECT_LE(ModuleLoadCount(hostsOwn.get()), start + 1) << "at most the indexing library's own";
}

// The filter DLLs made through the indexing library are known by their base
// name in any letter case, as Windows names files.
TEST_F(PageLoading, FilterDllNamedInAnyCaseTakesTheLoadIFilterWay)
{
    LoadedModule query(LoadedModule::BesideTestProgram(L"query.dll"));
    auto calls = query.Export<LONG(WINAPI*)()>("QueryStandInLoadIFilterCalls");
    ASSERT_TRUE(calls);
    const std::wstring page = m_folder.WriteFile(L"page.pdf", "page");
    int n = 0;
    for (const wchar_t* name : {L"pdffilt.dll", L"AcroRdIF.dll", L"PDFFILT.DLL"}) {
        SCOPED_TRACE(Narrow(name));
        FilterDllCopy dll(m_folder, L"Reader" + std::to_wstring(++n) + L"\\" + name);
        L::RegisterFilterClass(Ids::AllPersistString, dll.Path());
        Link(L"pdf", Ids::AllPersistString);
        CHostProcessInfo host(L"C:\\Windows\\System32\\cidaemon.exe");
        const LONG before = calls();
        ForeignPtr<IFilter> filter;
        ForeignModule module = host.LoadPageFilter(page.c_str(), filter);
        EXPECT_TRUE(filter);
        EXPECT_EQ(before + 1, calls());
        filter.reset();
        module.reset();
    }
}

// The same file by the path Wine's Z: drive gives it: a second spelling of a
// DLL's path, which the loader knows for the same module.
std::wstring OtherSpelling(const std::wstring& path)
{
    using UnixNameFn = char*(CDECL*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name)
        return std::wstring();
    const std::wstring spelled = FromUnix(name);
    HeapFree(GetProcessHeap(), 0, name);
    return spelled;
}

// A filter made through the indexing library faults inside LoadIFilter (here
// in its Load): no page filter, and its DLL is not asked again in the process,
// by this host object or another, even when its registration names it by
// another spelling of its path. The DLL keeps a reference of ours for good,
// as on every route: the library may let go of it.
TEST_F(PageLoading, FaultInsideLoadIFilterReportsNoFilterFromThenOn)
{
    FilterDllCopy pdf(m_folder, L"Reader\\pdffilt.dll", L"ScriptPageFilter.dll");
    L::RegisterFilterClass(ScriptFilter::ClassIdString, pdf.Path());
    Link(L"pdf", ScriptFilter::ClassIdString);
    LoadedModule loaded(pdf.Path());
    auto planFault = loaded.Export<ScriptFilter::PlanFaultFn>("ScriptFilterPlanFault");
    auto calls = loaded.Export<ScriptFilter::CallsFn>("ScriptFilterCalls");
    const std::wstring page = m_folder.WriteFile(L"page.pdf", "<!--script\ntext a\n-->");
    CHostProcessInfo host(L"C:\\Windows\\System32\\cidaemon.exe");

    // A page without fault first: the library holds the DLL from then on.
    ForeignPtr<IFilter> filter;
    ForeignModule first = host.LoadPageFilter(page.c_str(), filter);
    ASSERT_TRUE(filter);
    filter.reset();
    first.reset();
    const int held = ModuleLoadCount(loaded.get());
    planFault("load", 1);
    EXPECT_FALSE(host.LoadPageFilter(page.c_str(), filter));
    EXPECT_FALSE(filter);
    planFault(nullptr, 0);
    EXPECT_EQ(held + 1, ModuleLoadCount(loaded.get()));
    const LONG callsAfter = calls();
    FilterLookupRecord record;
    EXPECT_FALSE(host.FindFilter(page.c_str(), record));
    EXPECT_FALSE(host.LoadPageFilter(page.c_str(), filter));
    EXPECT_EQ(callsAfter, calls());

    const std::wstring spelled = OtherSpelling(pdf.Path());
    ASSERT_FALSE(spelled.empty());
    L::RegisterFilterClass(ScriptFilter::ClassIdString, spelled);
    CHostProcessInfo another(L"C:\\Windows\\System32\\cidaemon.exe");
    EXPECT_FALSE(another.LoadPageFilter(page.c_str(), filter));
    EXPECT_FALSE(filter);
    EXPECT_EQ(callsAfter, calls());
}

// Without a probe cache every lookup probes the filter DLL. A fault there
// makes that lookup, and every later one, report no filter; the DLL is not
// called again, and no page filter is made from it.
TEST_F(PageLoading, FaultWhileProbingWithoutACacheReportsNoFilter)
{
    LoadedModule script(LoadedModule::BesideTestProgram(L"ScriptPageFilter.dll"));
    auto planFault = script.Export<ScriptFilter::PlanFaultFn>("ScriptFilterPlanFault");
    auto calls = script.Export<ScriptFilter::CallsFn>("ScriptFilterCalls");
    L::RegisterFilterClass(ScriptFilter::ClassIdString, LoadedModule::BesideTestProgram(L"ScriptPageFilter.dll"));
    Link(L"scr", ScriptFilter::ClassIdString);
    const std::wstring page = m_folder.WriteFile(L"page.scr", "<!--script\ntext a\n-->");
    auto noXml = ScopedXmlClasses::RefuseAll();
    CHostProcessInfo host(L"C:\\Windows\\System32\\cidaemon.exe");
    ASSERT_FALSE(host.DLLsInformation().XmlAvailable());

    planFault("classobject", 2);
    FilterLookupRecord record;
    EXPECT_TRUE(host.FindFilter(page.c_str(), record));
    record.Initialise();
    EXPECT_FALSE(host.FindFilter(page.c_str(), record)) << "the second probe faulted";
    planFault(nullptr, 0);
    const LONG callsAfter = calls();
    record.Initialise();
    EXPECT_FALSE(host.FindFilter(page.c_str(), record));
    ForeignPtr<IFilter> filter;
    EXPECT_FALSE(host.LoadPageFilter(page.c_str(), filter));
    EXPECT_FALSE(filter);
    EXPECT_EQ(callsAfter, calls());
}

// Many pages of one filter DLL, as the filter reads them: make the page
// filter, release it, then free its module.
TEST_F(PageLoading, ManyPagesLeaveTheLoadCountWhereItStarted)
{
    // The second route goes through the indexing library (the query.dll
    // stand-in beside this program) for a filter DLL named pdffilt.dll.
    FilterDllCopy pdf(m_folder, L"Reader\\PDFFILT.dll");
    L::RegisterFilterClass(Ids::StandardTablesString, pdf.Path());
    Link(L"pdf", Ids::StandardTablesString);

    struct Case {
        const char* label;
        const wchar_t* page;
        const FilterDllCopy* dll;
        CLSID clsid;
        bool loadedByHost;
        // References others keep from the first page on: the probe keeps the
        // DLL it loaded, the indexing library keeps the DLLs it loads.
        int kept;
    };
    const Case cases[] = {
        {"class object, loaded by the first page", L"page.htm", m_dll.get(), Ids::AllPersist, false, 1},
        {"class object, loaded by the host", L"page.htm", m_dll.get(), Ids::AllPersist, true, 0},
        {"LoadIFilter, loaded by the first page", L"page.pdf", &pdf, Ids::StandardTables, false, 1},
        {"LoadIFilter, loaded by the host", L"page.pdf", &pdf, Ids::StandardTables, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        c.dll->Unload();
        ASSERT_FALSE(c.dll->Loaded());
        CHostProcessInfo host(L"C:\\Windows\\System32\\cidaemon.exe");
        const std::wstring page = m_folder.WriteFile(c.page, "page");
        std::unique_ptr<LoadedModule> hostsOwn;
        if (c.loadedByHost)
            hostsOwn = std::make_unique<LoadedModule>(c.dll->Path());
        const int start = (c.loadedByHost ? ModuleLoadCount(c.dll->Loaded()) : 0) + c.kept;

        for (int i = 0; i < 25; ++i) {
            ForeignPtr<IFilter> filter;
            ForeignModule module = host.LoadPageFilter(page.c_str(), filter);
            ASSERT_TRUE(filter) << "page " << i;
            EXPECT_TRUE(IsEqualCLSID(c.clsid, ClassOf(filter)));
            ASSERT_EQ(c.dll->Loaded(), module.get());
            EXPECT_EQ(start + 1, ModuleLoadCount(module.get())) << "during page " << i;
            filter.reset();
            module.reset();
            EXPECT_EQ(start, ModuleLoadCount(c.dll->Loaded())) << "after page " << i;
        }
        EXPECT_EQ(0, c.dll->LiveObjects());
        hostsOwn.reset();
        c.dll->Unload();
    }
}

}  // namespace
