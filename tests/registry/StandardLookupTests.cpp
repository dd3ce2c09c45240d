#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/LookupFixture.h"
#include "registry/CIFilterRegistryHelperIndexingService20.h"
#include "registry/CIFilterRegistryHelperIndexingService30.h"
#include "registry/ReadExtensionValue.h"
#include "registry/ReadHandlerValue.h"
#include "registry/SystemDirectorySource.h"
#include "util/strings/BoundedString.h"

using namespace LookupFixture;

namespace {

using StandardLookup = Fixture;

std::unique_ptr<CIFilterRegistryHelperBase> MakeHelper(bool version30)
{
    if (version30)
        return std::make_unique<CIFilterRegistryHelperIndexingService30>();
    return std::make_unique<CIFilterRegistryHelperIndexingService20>();
}

TEST_F(StandardLookup, ExtensionHandlerAndDocumentTypeRoutes)
{
    // The extension route leads to the usable class; the document-type route
    // of the same extension (where present) to one without persistence, so
    // the record shows which route was taken.
    RegisterHandler(kHandler, Ids::AllPersistString);
    RegisterHandler(kOtherHandler, Ids::NoPersistString);
    LinkExtensionHandler(L"both", kHandler);
    LinkDocumentType(L"both", kOtherHandler, kOtherDocumentClass);
    LinkExtensionHandler(L"extonly", kHandler);
    LinkDocumentType(L"typeonly", kHandler);

    struct Case {
        bool version30;
        const wchar_t* extension;
        BOOL found;
        DWORD source;
        const wchar_t* handler;
        DWORD status;
    };
    const Case cases[] = {
        {true, L"EXTONLY", TRUE, SOURCE_EXTENSION_HANDLER, kHandler, STATUS_USABLE},
        {true, L"TYPEONLY", TRUE, SOURCE_CLASS_HANDLER, kHandler, STATUS_USABLE},
        // The extension's own handler wins; the document type is never read.
        {true, L"BOTH", TRUE, SOURCE_EXTENSION_HANDLER, kHandler, STATUS_USABLE},
        // Indexing Service 2.0 knows only the document type.
        {false, L"EXTONLY", FALSE, 0, L"", STATUS_NO_PERSIST},
        {false, L"TYPEONLY", TRUE, SOURCE_CLASS_HANDLER, kHandler, STATUS_USABLE},
        {false, L"BOTH", TRUE, SOURCE_CLASS_HANDLER, kOtherHandler, STATUS_NO_PERSIST},
        {true, L"NONE", FALSE, 0, L"", STATUS_NO_PERSIST},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.version30 ? "3.0 " : "2.0 ") << Narrow(c.extension));
        auto helper = MakeHelper(c.version30);
        FilterLookupRecord record;
        EXPECT_EQ(c.found, Lookup(*helper, c.extension, record));
        EXPECT_EQ(c.source, record.source);
        EXPECT_STREQ(c.handler, record.persistentHandler);
        EXPECT_EQ(c.status, record.status);
        if (!c.found)
            continue;
        EXPECT_TRUE(SamePath(m_dll->Path(), record.filterDllPath)) << Narrow(record.filterDllPath);
        EXPECT_STREQ((std::wstring(L"Filter ") + record.filterClsid).c_str(), record.filterName);
    }
}

TEST_F(StandardLookup, UsableRecordCarriesClassAndInterfaces)
{
    struct Case {
        const wchar_t* clsid;
        DWORD status;
        BOOL file, stream, storage;
    };
    const Case cases[] = {
        {Ids::AllPersistString, STATUS_USABLE, TRUE, TRUE, TRUE},
        {Ids::StreamOnlyString, STATUS_USABLE, FALSE, TRUE, FALSE},
        // Found and probed, but nothing can load it: status 4, CLSID kept.
        {Ids::NoPersistString, STATUS_NO_PERSIST, FALSE, FALSE, FALSE},
        {Ids::FailingFactoryString, STATUS_NO_PERSIST, FALSE, FALSE, FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.clsid));
        RegisterHandler(kHandler, c.clsid);
        LinkExtensionHandler(L"page", kHandler);
        CIFilterRegistryHelperIndexingService30 helper;
        FilterLookupRecord record;
        EXPECT_TRUE(Lookup(helper, L"PAGE", record));
        EXPECT_STREQ(c.clsid, record.filterClsid);
        EXPECT_EQ(c.status, record.status);
        EXPECT_EQ(c.file, record.supportsPersistFile);
        EXPECT_EQ(c.stream, record.supportsPersistStream);
        EXPECT_EQ(c.storage, record.supportsPersistStorage);
        EXPECT_FALSE(record.trusted);
    }
}

TEST_F(StandardLookup, HandlerAndAddinValuesMustHoldABracedGuid)
{
    RegisterHandler(kHandler, Ids::AllPersistString);
    LinkDocumentType(L"page", kHandler);
    const std::wstring bare = std::wstring(kOtherHandler).substr(1, 36);
    struct Case {
        const char* what;
        std::wstring extensionHandler;
        std::wstring addin;
        BOOL found;
        DWORD source;
    };
    const Case cases[] = {
        {"braced", kOtherHandler, Ids::AllPersistString, TRUE, SOURCE_EXTENSION_HANDLER},
        // Any other length sends the lookup down the document-type route.
        {"no braces", bare, Ids::AllPersistString, TRUE, SOURCE_CLASS_HANDLER},
        {"trailing spaces", std::wstring(kOtherHandler) + L"  ", Ids::AllPersistString, TRUE, SOURCE_CLASS_HANDLER},
        // An add-in CLSID of 40 characters with its terminator is refused.
        {"long add-in", kOtherHandler, std::wstring(Ids::AllPersistString) + L" ", FALSE, SOURCE_EXTENSION_HANDLER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RegisterHandler(kOtherHandler, c.addin);
        LinkExtensionHandler(L"page", c.extensionHandler);
        CIFilterRegistryHelperIndexingService30 helper;
        FilterLookupRecord record;
        EXPECT_EQ(c.found, Lookup(helper, L"PAGE", record));
        EXPECT_EQ(c.source, record.source);
        EXPECT_STREQ(c.found ? Ids::AllPersistString : L"", record.filterClsid);
    }
}

// A DLL path of the given length in a folder of 240 characters (folders are
// limited to 248).
std::wstring LongPath(const ScratchFolder& scratch, size_t length)
{
    const std::wstring folder = scratch / std::wstring(240 - 1 - scratch.Path().size(), L'd');
    return folder + L"\\" + std::wstring(length - folder.size() - 5, L'a') + L".dll";
}

// Binds a scratch folder as the system folder for the test's duration.
class SystemFolderBinding {
public:
    explicit SystemFolderBinding(const std::wstring& folder)
    {
        s_folder = folder;
        m_previous = BindSystemDirectorySource(&Source);
    }
    ~SystemFolderBinding() { BindSystemDirectorySource(m_previous); }

private:
    static UINT WINAPI Source(LPWSTR buffer, UINT capacity)
    {
        if (s_folder.size() >= capacity)
            return static_cast<UINT>(s_folder.size() + 1);
        lstrcpyW(buffer, s_folder.c_str());
        return static_cast<UINT>(s_folder.size());
    }
    static std::wstring s_folder;
    SystemDirectorySource m_previous;
};
std::wstring SystemFolderBinding::s_folder;

TEST_F(StandardLookup, WhereTheRegisteredDllIsFound)
{
    const std::wstring system = m_folder.MakeFolder(L"system");
    SystemFolderBinding binding(system);
    FilterDllCopy systemCopy(m_folder, L"system\\SysOnly.dll");
    FilterDllCopy shadow(m_folder, L"system\\TestPageFilters.dll");
    SetEnvironmentVariableW(L"TAVRINOLEX_FILTERS", (m_folder / L"filters").c_str());

    // A path of 255 characters is the longest the lookup takes.
    const std::wstring longest = LongPath(m_folder, 255);
    const std::wstring tooLong = LongPath(m_folder, 256);
    FilterDllCopy longestCopy(m_folder, longest.substr(m_folder.Path().size() + 1));
    FilterDllCopy tooLongCopy(m_folder, tooLong.substr(m_folder.Path().size() + 1));

    struct Case {
        const char* what;
        std::wstring registered;
        DWORD type;
        std::wstring expected;  // empty: not found
    };
    const Case cases[] = {
        {"full path", m_dll->Path(), REG_SZ, m_dll->Path()},
        {"expandable, expanded", L"%TAVRINOLEX_FILTERS%\\Page.dll", REG_EXPAND_SZ, m_dll->Path()},
        {"plain string, used as stored", L"%TAVRINOLEX_FILTERS%\\Page.dll", REG_SZ, L""},
        {"bare name in the system folder", L"SysOnly.dll", REG_SZ, systemCopy.Path()},
        // Beside the test program as well: the system folder comes first.
        {"bare name, system folder first", L"TestPageFilters.dll", REG_SZ, shadow.Path()},
        {"bare name on the search path", L"TestNoClassObject.dll", REG_SZ,
         LoadedModule::BesideTestProgram(L"TestNoClassObject.dll")},
        // A registered folder is the only place searched.
        {"folder without the file", m_folder / L"system\\TestNoClassObject.dll", REG_SZ, L""},
        {"missing everywhere", L"NoSuchFilter.dll", REG_SZ, L""},
        {"255 characters", longest, REG_SZ, longest},
        {"256 characters", tooLong, REG_SZ, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RegisterFilterClass(Ids::AllPersistString, c.registered, c.type);
        wchar_t path[FilterLookupRecord::kPathCapacity] = L"stale";
        EXPECT_EQ(c.expected.empty() ? FALSE : TRUE,
                  CIFilterRegistryHelperBase::LocateFilterDll(Ids::AllPersistString, path,
                                                              FilterLookupRecord::kPathCapacity));
        EXPECT_TRUE(SamePath(c.expected, path)) << Narrow(path);
    }
    SetEnvironmentVariableW(L"TAVRINOLEX_FILTERS", nullptr);
}

TEST_F(StandardLookup, DllThatCannotBeFoundFailsTheLookup)
{
    RegisterHandler(kHandler, Ids::AllPersistString);
    LinkExtensionHandler(L"page", kHandler);
    const std::wstring tooLongPath = LongPath(m_folder, 256);
    FilterDllCopy tooLong(m_folder, tooLongPath.substr(m_folder.Path().size() + 1));
    for (const std::wstring& registered : {m_folder / L"filters\\Missing.dll", tooLong.Path()}) {
        SCOPED_TRACE(Narrow(registered));
        RegisterFilterClass(Ids::AllPersistString, registered);
        CIFilterRegistryHelperIndexingService30 helper;
        FilterLookupRecord record;
        EXPECT_FALSE(Lookup(helper, L"PAGE", record));
        EXPECT_STREQ(L"", record.filterDllPath);
        EXPECT_STREQ(Ids::AllPersistString, record.filterClsid);
    }
}

TEST_F(StandardLookup, ProbeOfTheRecordedDll)
{
    CDLLsInformationBase dlls;
    dlls.verifyTrust = FALSE;
    struct Case {
        const char* what;
        std::wstring path;
        bool withDlls;
        BOOL result;
        DWORD status;
    };
    const Case cases[] = {
        {"usable", m_dll->Path(), true, TRUE, STATUS_USABLE},
        {"file gone", m_folder / L"filters\\Gone.dll", true, TRUE, STATUS_DLL_MISSING},
        {"no path", L"", true, FALSE, STATUS_NO_PERSIST},
        {"no probing object", m_dll->Path(), false, FALSE, STATUS_NO_PERSIST},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FilterLookupRecord record;
        record.supportsPersistFile = TRUE;  // reset by the probe
        BoundedCopy(record.filterClsid, FilterLookupRecord::kClsidCapacity, Ids::AllPersistString);
        BoundedCopy(record.filterDllPath, FilterLookupRecord::kPathCapacity, c.path.c_str());
        record.dllsInformation = c.withDlls ? &dlls : nullptr;
        EXPECT_EQ(c.result, CIFilterRegistryHelperBase::ProbeFilterDll(record));
        EXPECT_EQ(c.status, record.status);
        EXPECT_EQ(c.status == STATUS_USABLE ? TRUE : FALSE, record.supportsPersistFile);
    }
}

TEST_F(StandardLookup, RecordInitialState)
{
    FilterLookupRecord record;
    CDLLsInformationBase dlls;
    BoundedCopy(record.filterName, FilterLookupRecord::kPathCapacity, L"x");
    record.source = 7;
    record.status = STATUS_USABLE;
    record.trusted = record.supportsPersistStorage = TRUE;
    record.dllsInformation = &dlls;
    record.Initialise();
    EXPECT_STREQ(L"", record.persistentHandler);
    EXPECT_STREQ(L"", record.filterClsid);
    EXPECT_STREQ(L"", record.filterDllPath);
    EXPECT_STREQ(L"", record.filterName);
    EXPECT_EQ(0u, record.source);
    EXPECT_EQ(STATUS_NO_PERSIST, record.status);
    EXPECT_FALSE(record.trusted || record.supportsPersistFile || record.supportsPersistStream ||
                 record.supportsPersistStorage);
    EXPECT_EQ(nullptr, record.dllsInformation);
}

TEST_F(StandardLookup, ExtensionValueLimits)
{
    const std::wstring type255(255, L't');
    SetRegistryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.fits", nullptr, type255.c_str());
    SetRegistryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.long", nullptr, (type255 + L"t").c_str());
    SetRegistryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.exp", nullptr, L"%TEMP%", REG_EXPAND_SZ);
    SetRegistryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.exp", L"Content Type", L"text/plain");
    struct Case {
        const wchar_t* extension;
        const wchar_t* name;
        BOOL result;
        std::wstring value;
    };
    const Case cases[] = {
        {L"FITS", nullptr, TRUE, type255},
        {L"LONG", nullptr, FALSE, L""},
        {L"EXP", nullptr, TRUE, L"%TEMP%"},  // never expanded
        {L"EXP", L"Content Type", TRUE, L"text/plain"},
        {L"NONE", nullptr, FALSE, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.extension));
        wchar_t value[256] = {};
        EXPECT_EQ(c.result, ReadExtensionValue(c.extension, c.name, value, 256));
        EXPECT_EQ(c.value, value);
    }
}

}  // namespace
