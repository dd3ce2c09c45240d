#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/LookupFixture.h"
#include "registry/CIFilterRegistryHelperIndexingService30.h"
#include "registry/CIFilterRegistryHelperMSNDesktopSearch.h"
#include "registry/CIFilterRegistryHelperOfficeServer12.h"
#include "registry/CIFilterRegistryHelperSQLServer2000.h"
#include "registry/CIFilterRegistryHelperSharepoint2001.h"
#include "registry/CIFilterRegistryHelperSharepoint2003.h"
#include "registry/CIFilterRegistryHelperWindowsServerExtensions12.h"

using namespace LookupFixture;

namespace {

using ProductHelper = Fixture;

// Each product helper with where its tables and install location lie.
struct Product {
    const char* name;
    std::function<std::unique_ptr<CIFilterRegistryHelperSQLServer2000>()> make;
    HKEY tablesRoot;
    const wchar_t* contentIndex;
    const wchar_t* installKey;
    const wchar_t* installValue;
    const wchar_t* subFolder;  // with its closing backslash, or empty
    const wchar_t* processName;
    bool sharePointFamily;
};

template <typename T>
std::unique_ptr<CIFilterRegistryHelperSQLServer2000> Make()
{
    return std::make_unique<T>();
}

const std::vector<Product>& Products()
{
    static const std::vector<Product> products = {
        {"SQL Server 2000", Make<CIFilterRegistryHelperSQLServer2000>, HKEY_LOCAL_MACHINE,
         L"SOFTWARE\\Microsoft\\ContentIndexCommon", L"SOFTWARE\\Microsoft\\Search\\1.0", L"InstallDirectory",
         L"bin\\", L"mssdmn", false},
        {"SharePoint 2001", Make<CIFilterRegistryHelperSharepoint2001>, HKEY_LOCAL_MACHINE,
         L"SOFTWARE\\Microsoft\\ContentIndexCommon", L"SOFTWARE\\Microsoft\\Search\\1.0", L"InstallDirectory",
         L"bin\\", L"mssdmn", true},
        {"SharePoint 2003", Make<CIFilterRegistryHelperSharepoint2003>, HKEY_LOCAL_MACHINE,
         L"SOFTWARE\\Microsoft\\SPSSearch\\ContentIndexCommon", L"SOFTWARE\\Microsoft\\Sharepoint Portal Server",
         L"InstallPath", L"bin\\", L"mssdmn", true},
        {"Office Server 12", Make<CIFilterRegistryHelperOfficeServer12>, HKEY_LOCAL_MACHINE,
         L"SOFTWARE\\Microsoft\\Office Server\\12.0\\Search\\Setup\\ContentIndexCommon",
         L"SOFTWARE\\Microsoft\\Office Server\\12.0", L"InstallPath", L"bin\\", L"mssdmn", true},
        {"Web Server Extensions 12", Make<CIFilterRegistryHelperWindowsServerExtensions12>, HKEY_LOCAL_MACHINE,
         L"SOFTWARE\\Microsoft\\Shared Tools\\Web Server Extensions\\12.0\\Search\\Setup\\ContentIndexCommon",
         L"SOFTWARE\\Microsoft\\Shared Tools\\Web Server Extensions\\12.0", L"Location", L"bin\\", L"mssdmn", true},
        {"Desktop Search", Make<CIFilterRegistryHelperMSNDesktopSearch>, HKEY_CURRENT_USER,
         L"SOFTWARE\\Microsoft\\RSSearch\\ContentIndexCommon", L"SOFTWARE\\Microsoft\\RSSearch\\InstallDirectory",
         L"", L"", L"WindowsSearchFilter", true},
    };
    return products;
}

std::wstring FiltersKey(const Product& p, const std::wstring& tail)
{
    return std::wstring(p.contentIndex) + L"\\Filters" + tail;
}

void SetProductFilter(const Product& p, const std::wstring& tail, const std::wstring& clsid)
{
    SetRegistryString(p.tablesRoot, FiltersKey(p, tail).c_str(), nullptr, clsid.c_str());
}

void SetDefaultList(const Product& p, const wchar_t* list, const wchar_t* defaultClsid)
{
    SetProductFilter(p, L"\\Default", defaultClsid);
    SetRegistryString(p.tablesRoot, FiltersKey(p, L"\\Default").c_str(), L"DefaultExtList", list);
}

TEST_F(ProductHelper, ContentIndexKeys)
{
    for (const auto& p : Products()) {
        SCOPED_TRACE(p.name);
        auto helper = p.make();
        HKEY root = nullptr;
        wchar_t path[CIFilterRegistryHelperBase::kKeyCapacity] = {};
        ASSERT_TRUE(helper->GetContentIndexKey(&root, path, CIFilterRegistryHelperBase::kKeyCapacity));
        EXPECT_EQ(p.tablesRoot, root);
        EXPECT_STREQ(p.contentIndex, path);
        EXPECT_FALSE(helper->GetContentIndexKey(&root, path, 20));
    }
}

TEST_F(ProductHelper, ProductExtensionKeyWinsOverStandardKeys)
{
    // The standard keys name the class with every interface, the product's
    // table the one with IPersistStream only.
    RegisterHandler(kHandler, Ids::AllPersistString);
    LinkExtensionHandler(L"htm", kHandler);
    for (const auto& p : Products()) {
        SCOPED_TRACE(p.name);
        SetProductFilter(p, L"\\Extension\\.htm", Ids::StreamOnlyString);
        auto helper = p.make();
        FilterLookupRecord record;
        EXPECT_TRUE(Lookup(*helper, L"HTM", record));
        EXPECT_EQ(SOURCE_PRODUCT_EXTENSION, record.source);
        EXPECT_STREQ(Ids::StreamOnlyString, record.filterClsid);
        EXPECT_EQ(STATUS_USABLE, record.status);
        EXPECT_TRUE(SamePath(m_dll->Path(), record.filterDllPath));
        RegDeleteTreeW(p.tablesRoot, FiltersKey(p, L"").c_str());
    }
    // Only the standard keys left.
    CIFilterRegistryHelperSQLServer2000 helper;
    FilterLookupRecord record;
    EXPECT_TRUE(Lookup(helper, L"HTM", record));
    EXPECT_EQ(SOURCE_EXTENSION_HANDLER, record.source);
    EXPECT_STREQ(Ids::AllPersistString, record.filterClsid);
}

TEST_F(ProductHelper, ProductClassKeyNamesTheHandlersFilter)
{
    RegisterHandler(kHandler, Ids::AllPersistString);
    LinkExtensionHandler(L"htm", kHandler);
    for (const auto& p : Products()) {
        SCOPED_TRACE(p.name);
        SetProductFilter(p, std::wstring(L"\\CLSID\\") + kHandler, Ids::StreamOnlyString);
        auto helper = p.make();
        FilterLookupRecord record;
        EXPECT_TRUE(Lookup(*helper, L"HTM", record));
        EXPECT_EQ(SOURCE_EXTENSION_HANDLER | SOURCE_PRODUCT_CLSID, record.source);
        EXPECT_STREQ(Ids::StreamOnlyString, record.filterClsid);
        RegDeleteTreeW(p.tablesRoot, FiltersKey(p, L"").c_str());
    }
}

TEST_F(ProductHelper, ContentTypeRoute)
{
    // ".ctx" has only a content type; its MIME class has a persistent handler.
    const std::wstring mimeClass = L"{1D2E3F40-5162-4738-89A0-B1C2D3E4F506}";
    SetRegistryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.ctx", L"Content Type", L"text/x-tavrinolex");
    SetRegistryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\MIME\\Database\\Content Type\\text/x-tavrinolex",
                      L"CLSID", mimeClass.c_str());
    SetRegistryString(HKEY_LOCAL_MACHINE, (ClassKey(mimeClass) + L"\\PersistentHandler").c_str(), nullptr, kHandler);
    RegisterHandler(kHandler, Ids::AllPersistString);

    for (const auto& p : Products()) {
        for (bool productClass : {false, true}) {
            SCOPED_TRACE(testing::Message() << p.name << (productClass ? ", product class key" : ", handler"));
            if (productClass)
                SetProductFilter(p, L"\\CLSID\\" + mimeClass, Ids::StreamOnlyString);
            auto helper = p.make();
            FilterLookupRecord record;
            const BOOL found = Lookup(*helper, L"CTX", record);
            RegDeleteTreeW(p.tablesRoot, FiltersKey(p, L"").c_str());
            if (!p.sharePointFamily) {
                EXPECT_FALSE(found);
                continue;
            }
            EXPECT_TRUE(found);
            EXPECT_EQ(STATUS_USABLE, record.status);
            if (productClass) {
                EXPECT_EQ(SOURCE_CONTENT_TYPE_HANDLER | SOURCE_PRODUCT_CLSID, record.source);
                EXPECT_STREQ(Ids::StreamOnlyString, record.filterClsid);
            } else {
                EXPECT_EQ(SOURCE_CONTENT_TYPE_HANDLER, record.source);
                EXPECT_STREQ(kHandler, record.persistentHandler);
                EXPECT_STREQ(Ids::AllPersistString, record.filterClsid);
            }
        }
    }
}

// One extension reachable by several routes at once, each naming its own
// filter class: the SharePoint family takes the product extension key, then the
// content type, then the standard keys, then the default list; SQL Server 2000
// knows only the first and the third.
TEST_F(ProductHelper, RoutesAreTakenInTheProductsOrder)
{
    const std::wstring mimeClass = L"{2E3F4051-6273-4849-9AB0-C1D2E3F40516}";
    const wchar_t* const typeKey = L"SOFTWARE\\Classes\\MIME\\Database\\Content Type\\text/x-tavrinolex";
    RegisterHandler(kHandler, Ids::AllPersistString);
    RegisterHandler(kOtherHandler, Ids::StreamOnlyString);
    SetRegistryString(HKEY_LOCAL_MACHINE, typeKey, L"CLSID", mimeClass.c_str());
    SetRegistryString(HKEY_LOCAL_MACHINE, (ClassKey(mimeClass) + L"\\PersistentHandler").c_str(), nullptr,
                      kOtherHandler);

    enum Route { kProductExtension = 1, kContentType = 2, kStandard = 4, kDefaultList = 8 };
    struct Expect {
        DWORD source;
        const wchar_t* clsid;
    };
    struct Case {
        const char* label;
        int routes;
        Expect sharePoint;
        Expect sqlServer;
    };
    const Expect productExtension = {SOURCE_PRODUCT_EXTENSION, Ids::AllPersistString};
    const Expect contentType = {SOURCE_CONTENT_TYPE_HANDLER, Ids::StreamOnlyString};
    const Expect standard = {SOURCE_EXTENSION_HANDLER, Ids::AllPersistString};
    const Case cases[] = {
        {"product extension over content type", kProductExtension | kContentType | kStandard | kDefaultList,
         productExtension, productExtension},
        {"content type over standard keys", kContentType | kStandard | kDefaultList, contentType, standard},
        {"standard keys over the default list", kStandard | kDefaultList, standard, standard},
    };
    for (const auto& c : cases) {
        for (const auto& p : Products()) {
            SCOPED_TRACE(testing::Message() << c.label << ", " << p.name);
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.dual");
            if (c.routes & kProductExtension)
                SetProductFilter(p, L"\\Extension\\.dual", Ids::AllPersistString);
            if (c.routes & kContentType)
                SetRegistryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.dual", L"Content Type",
                                  L"text/x-tavrinolex");
            if (c.routes & kStandard)
                LinkExtensionHandler(L"dual", kHandler);
            if (c.routes & kDefaultList)
                SetDefaultList(p, L"dual", Ids::StreamOnlyString);

            auto helper = p.make();
            FilterLookupRecord record;
            const BOOL found = Lookup(*helper, L"DUAL", record);
            RegDeleteTreeW(p.tablesRoot, FiltersKey(p, L"").c_str());
            const Expect& want = p.sharePointFamily ? c.sharePoint : c.sqlServer;
            EXPECT_TRUE(found);
            EXPECT_EQ(STATUS_USABLE, record.status);
            EXPECT_EQ(want.source, record.source);
            EXPECT_STREQ(want.clsid, record.filterClsid);
        }
    }
}

TEST_F(ProductHelper, DefaultListGivesTheProductDefault)
{
    for (const auto& p : Products()) {
        SCOPED_TRACE(p.name);
        SetDefaultList(p, L"htm txt", Ids::AllPersistString);
        struct Case {
            const wchar_t* extension;
            BOOL found;
        };
        for (const Case& c : {Case{L"TXT", TRUE}, Case{L"HTM", TRUE}, Case{L"TX", FALSE}, Case{L"DOC", FALSE}}) {
            SCOPED_TRACE(Narrow(c.extension));
            auto helper = p.make();
            FilterLookupRecord record;
            const BOOL expected = p.sharePointFamily ? c.found : FALSE;
            EXPECT_EQ(expected, Lookup(*helper, c.extension, record));
            if (!expected)
                continue;
            EXPECT_EQ(SOURCE_PRODUCT_DEFAULT, record.source);
            EXPECT_STREQ(Ids::AllPersistString, record.filterClsid);
            EXPECT_EQ(STATUS_USABLE, record.status);
        }
        RegDeleteTreeW(p.tablesRoot, FiltersKey(p, L"").c_str());
    }
}

TEST_F(ProductHelper, DefaultListForms)
{
    const Product& p = Products()[1];
    struct Case {
        const char* what;
        std::wstring stored;
        DWORD type;
        bool terminated;
        std::vector<std::wstring> entries;
    };
    const Case cases[] = {
        {"spaces", L"htm txt", REG_SZ, true, {L"htm", L"txt"}},
        {"doubled and leading spaces", L"  htm   txt ", REG_SZ, true, {L"htm", L"txt"}},
        {"multi-string", std::wstring(L"htm\0txt\0", 8), REG_MULTI_SZ, true, {L"htm", L"txt"}},
        {"stored without terminator", L"htm", REG_SZ, false, {L"htm"}},
        {"empty", L"", REG_SZ, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const DWORD bytes = static_cast<DWORD>((c.stored.size() + (c.terminated ? 1 : 0)) * sizeof(wchar_t));
        SetRegistryValue(HKEY_LOCAL_MACHINE, FiltersKey(p, L"\\Default").c_str(), L"DefaultExtList", c.type,
                         c.stored.data(), bytes);
        auto helper = p.make();
        std::unique_ptr<wchar_t[]> list = helper->GetDefaultExtensionList();
        ASSERT_TRUE(list);
        std::vector<std::wstring> entries;
        for (const wchar_t* entry = list.get(); *entry; entry += wcslen(entry) + 1)
            entries.emplace_back(entry);
        EXPECT_EQ(c.entries, entries);
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, FiltersKey(p, L"").c_str());
    EXPECT_FALSE(p.make()->GetDefaultExtensionList());
    CIFilterRegistryHelperIndexingService30 standard;
    EXPECT_FALSE(standard.GetDefaultExtensionList());
}

TEST_F(ProductHelper, DefaultFilterReplacesAnUnusableRegistration)
{
    // The product's table names a class without persistence for ".txt"; its
    // default filter serves ".txt" too.
    for (const auto& p : Products()) {
        SCOPED_TRACE(p.name);
        SetProductFilter(p, L"\\Extension\\.txt", Ids::NoPersistString);
        SetDefaultList(p, L"htm txt", Ids::AllPersistString);
        auto helper = p.make();
        FilterLookupRecord record;
        EXPECT_TRUE(Lookup(*helper, L"TXT", record));
        if (p.sharePointFamily) {
            EXPECT_EQ(SOURCE_PRODUCT_EXTENSION | SOURCE_DEFAULT_FALLBACK, record.source);
            EXPECT_STREQ(Ids::AllPersistString, record.filterClsid);
            EXPECT_EQ(STATUS_USABLE, record.status);
        } else {
            // No default filter: the unusable registration is the answer.
            EXPECT_EQ(SOURCE_PRODUCT_EXTENSION, record.source);
            EXPECT_STREQ(Ids::NoPersistString, record.filterClsid);
            EXPECT_EQ(STATUS_NO_PERSIST, record.status);
        }
        RegDeleteTreeW(p.tablesRoot, FiltersKey(p, L"").c_str());
    }
}

TEST_F(ProductHelper, SharePointInstalledBySpsv2)
{
    const wchar_t key[] = L"SOFTWARE\\Microsoft\\SharePoint Portal Server";
    struct Case {
        const char* what;
        bool keyPresent;
        DWORD type;
        DWORD value;
        BOOL is2001;
        BOOL is2003;
    };
    const Case cases[] = {
        {"no key", false, REG_NONE, 0, FALSE, FALSE},
        {"SPSV2 absent", true, REG_NONE, 0, TRUE, FALSE},
        {"SPSV2 = 1", true, REG_DWORD, 1, FALSE, TRUE},
        {"SPSV2 = 2", true, REG_DWORD, 2, FALSE, FALSE},
        {"SPSV2 not a number", true, REG_BINARY, 1, TRUE, FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
        if (c.keyPresent)
            SetRegistryString(HKEY_LOCAL_MACHINE, key, L"InstallPath", L"C:\\SPS");
        if (c.type != REG_NONE)
            SetRegistryValue(HKEY_LOCAL_MACHINE, key, L"SPSV2", c.type, &c.value, sizeof(c.value));
        EXPECT_EQ(c.is2001, CIFilterRegistryHelperSharepoint2001().IsProductInstalled());
        EXPECT_EQ(c.is2003, CIFilterRegistryHelperSharepoint2003().IsProductInstalled());
        for (const auto& p : Products()) {
            if (std::string(p.name).find("SharePoint") == std::string::npos) {
                EXPECT_TRUE(p.make()->IsProductInstalled()) << p.name;
            }
        }
    }
}

TEST_F(ProductHelper, ProgramFolderFromTheInstallLocation)
{
    SetEnvironmentVariableW(L"TAVRINOLEX_ROOT", L"C:\\Expanded Root");
    const std::wstring tooLong = L"C:\\" + std::wstring(270, L'x');
    struct Case {
        const char* what;
        const wchar_t* stored;
        DWORD type;
        const wchar_t* folder;  // before the sub-folder; null: no folder
    };
    const Case cases[] = {
        {"plain", L"C:\\Search", REG_SZ, L"C:\\Search\\"},
        {"closing backslash", L"C:\\Search\\", REG_SZ, L"C:\\Search\\"},
        {"expandable", L"%TAVRINOLEX_ROOT%\\Search", REG_EXPAND_SZ, L"C:\\Expanded Root\\Search\\"},
        {"too long", tooLong.c_str(), REG_SZ, nullptr},
        {"absent", nullptr, REG_NONE, nullptr},
    };
    for (const auto& p : Products()) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << p.name << ", " << c.what);
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, p.installKey);
            if (c.stored)
                SetRegistryString(HKEY_LOCAL_MACHINE, p.installKey, p.installValue, c.stored, c.type);
            auto helper = p.make();
            wchar_t folder[CIFilterRegistryHelperSQLServer2000::kFolderCapacity] = {};
            const BOOL resolved =
                helper->GetProductBinDirectory(folder, CIFilterRegistryHelperSQLServer2000::kFolderCapacity);
            EXPECT_EQ(c.folder ? TRUE : FALSE, resolved);
            EXPECT_EQ(c.folder ? std::wstring(c.folder) + p.subFolder : std::wstring(), folder);
            if (!c.folder)
                continue;
            // Resolved once: the object keeps its answer, and a caller's
            // buffer that is too small gets nothing.
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, p.installKey);
            wchar_t again[CIFilterRegistryHelperSQLServer2000::kFolderCapacity] = {};
            EXPECT_TRUE(helper->GetProductBinDirectory(again, CIFilterRegistryHelperSQLServer2000::kFolderCapacity));
            EXPECT_STREQ(folder, again);
            wchar_t small[8] = L"x";
            EXPECT_FALSE(helper->GetProductBinDirectory(small, 8));
        }
    }
    SetEnvironmentVariableW(L"TAVRINOLEX_ROOT", nullptr);
}

TEST_F(ProductHelper, DesktopSearchTablesPerUserInstallPerMachine)
{
    const Product& desktop = Products().back();
    const Product& sql = Products().front();
    // The same tables under the other root are not read.
    SetRegistryString(HKEY_LOCAL_MACHINE, FiltersKey(desktop, L"\\Extension\\.htm").c_str(), nullptr,
                      Ids::AllPersistString);
    SetRegistryString(HKEY_CURRENT_USER, FiltersKey(sql, L"\\Extension\\.htm").c_str(), nullptr, Ids::AllPersistString);
    {
        FilterLookupRecord record;
        EXPECT_FALSE(Lookup(*desktop.make(), L"HTM", record));
        EXPECT_FALSE(Lookup(*sql.make(), L"HTM", record));
    }
    SetRegistryString(HKEY_CURRENT_USER, FiltersKey(desktop, L"\\Extension\\.htm").c_str(), nullptr,
                      Ids::AllPersistString);
    FilterLookupRecord record;
    EXPECT_TRUE(Lookup(*desktop.make(), L"HTM", record));
    EXPECT_EQ(SOURCE_PRODUCT_EXTENSION, record.source);

    SetRegistryString(HKEY_CURRENT_USER, desktop.installKey, nullptr, L"C:\\PerUser");
    SetRegistryString(HKEY_LOCAL_MACHINE, desktop.installKey, nullptr, L"C:\\PerMachine");
    wchar_t folder[CIFilterRegistryHelperSQLServer2000::kFolderCapacity] = {};
    EXPECT_TRUE(desktop.make()->GetProductBinDirectory(folder, CIFilterRegistryHelperSQLServer2000::kFolderCapacity));
    EXPECT_STREQ(L"C:\\PerMachine\\", folder);
}

TEST_F(ProductHelper, ExeLocalRedirectsToTheProgramFoldersCopy)
{
    const std::wstring install = m_folder.MakeFolder(L"product");
    for (const auto& p : Products()) {
        SetRegistryString(HKEY_LOCAL_MACHINE, p.installKey, p.installValue, install.c_str());
        const std::wstring bin = install + L"\\" + p.subFolder;
        const std::wstring exeLocal = bin + p.processName + L".exe.local";
        RegisterHandler(kHandler, Ids::AllPersistString);
        LinkExtensionHandler(L"htm", kHandler);
        FilterDllCopy localCopy(m_folder, L"product\\" + std::wstring(p.subFolder) + L"Page.dll");

        struct Case {
            const char* what;
            bool exeLocalPresent;
            std::wstring registered;
            std::wstring expected;
            DWORD source;
        };
        std::wstring upperLocal = localCopy.Path();
        CharUpperW(&upperLocal[0]);
        const Case cases[] = {
            {"redirected", true, m_dll->Path(), localCopy.Path(), SOURCE_EXTENSION_HANDLER | SOURCE_LOCAL_COPY},
            {"no .exe.local", false, m_dll->Path(), m_dll->Path(), SOURCE_EXTENSION_HANDLER},
            // Already the program folder's copy, spelled in another case.
            {"already local", true, upperLocal, localCopy.Path(), SOURCE_EXTENSION_HANDLER},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << p.name << ", " << c.what);
            if (c.exeLocalPresent)
                m_folder.WriteFile(exeLocal.substr(m_folder.Path().size() + 1), "");
            else
                DeleteFileW(exeLocal.c_str());
            RegisterFilterClass(Ids::AllPersistString, c.registered);
            auto helper = p.make();
            EXPECT_EQ(c.exeLocalPresent ? TRUE : FALSE, helper->HasExeLocal());
            FilterLookupRecord record;
            EXPECT_TRUE(Lookup(*helper, L"HTM", record));
            EXPECT_TRUE(SamePath(c.expected, record.filterDllPath)) << Narrow(record.filterDllPath);
            EXPECT_EQ(c.source, record.source);
            EXPECT_EQ(STATUS_USABLE, record.status);
        }
        // Without a copy in the program folder nothing changes.
        localCopy.Unload();
        DeleteFileW(localCopy.Path().c_str());
        RegisterFilterClass(Ids::AllPersistString, m_dll->Path());
        FilterLookupRecord record;
        EXPECT_TRUE(Lookup(*p.make(), L"HTM", record));
        EXPECT_TRUE(SamePath(m_dll->Path(), record.filterDllPath)) << p.name;
        EXPECT_EQ(SOURCE_EXTENSION_HANDLER, record.source) << p.name;
        DeleteFileW(exeLocal.c_str());
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, p.installKey);
    }
}

TEST_F(ProductHelper, AddinPolicyList)
{
    const wchar_t key[] = L"Software\\Policies\\Microsoft\\DesktopSearch\\PreventUnwantedAddins";
    SetRegistryString(HKEY_CURRENT_USER, key, L"a", L"first.dll");
    SetRegistryString(HKEY_CURRENT_USER, key, L"b", std::wstring(2048, L'x').c_str());  // 2049 with terminator
    SetRegistryString(HKEY_CURRENT_USER, key, L"c", L"second.dll");
    CIFilterRegistryHelperMSNDesktopSearch helper;
    std::vector<std::wstring> list = {L"stale"};
    EXPECT_TRUE(helper.ReadAddinPolicyList(list));
    EXPECT_EQ((std::vector<std::wstring>{L"first.dll", L"second.dll"}), list);
    RegDeleteTreeW(HKEY_CURRENT_USER, key);
    EXPECT_TRUE(helper.ReadAddinPolicyList(list));
    EXPECT_TRUE(list.empty());
}

}  // namespace
