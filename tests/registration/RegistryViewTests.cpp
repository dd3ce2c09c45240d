// On 64-bit Windows both DLLs are registered side by side: the 64-bit one by the
// 64-bit regsvr32 in the 64-bit registry view, the 32-bit one by the WoW64
// regsvr32 in the 32-bit view. The class keys are per view; the extension key is
// shared. Runs in the 64-bit build's prefix with the 32-bit DLL copied beside the
// test program (x86\Tavrinolex.dll).
#include <windows.h>
#include <filter.h>

#include <gtest/gtest.h>

#include <string>

#include "support/LoadedModule.h"
#include "support/RegistryTree.h"
#include "support/RunProgram.h"
#include "util/owners/RegKey.h"

namespace {

using Entries = RegistryTree::Entries;
constexpr const wchar_t* kNone = RegistryTree::kNoValue;
constexpr const wchar_t* kHandler = L"{3C8F2A17-D4B9-4E06-8A3B-91F7C2E5D048}";
constexpr const wchar_t* kFilter = L"{7A3E19C4-2B6D-4F81-9C0A-5E2D8B4F1A63}";
const CLSID kFilterClsid = {0x7A3E19C4, 0x2B6D, 0x4F81, {0x9C, 0x0A, 0x5E, 0x2D, 0x8B, 0x4F, 0x1A, 0x63}};

struct Build {
    const char* name;
    REGSAM view;                          // KEY_WOW64_64KEY or KEY_WOW64_32KEY
    UINT (WINAPI* systemFolder)(LPWSTR, UINT);  // where its regsvr32 lives
    const wchar_t* dll;                   // beside the test program
};
const Build kX64 = {"x64", KEY_WOW64_64KEY, &GetSystemDirectoryW, L"Tavrinolex.dll"};
const Build kX86 = {"x86", KEY_WOW64_32KEY, &GetSystemWow64DirectoryW, L"x86\\Tavrinolex.dll"};

DWORD Regsvr32(const Build& build, const wchar_t* options)
{
    wchar_t folder[MAX_PATH] = {};
    if (build.systemFolder(folder, MAX_PATH) == 0)
        return static_cast<DWORD>(-1);
    return RunProgram(L"\"" + std::wstring(folder) + L"\\regsvr32.exe\" " + options + L" \"" +
                      LoadedModule::BesideTestProgram(build.dll) + L"\"");
}

// HKCR\CLSID\<id> as the given view presents it; empty when it has none.
Entries ClassKey(REGSAM view, const wchar_t* id)
{
    RegKey classes;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ | view, classes.put()) != ERROR_SUCCESS)
        return {};
    return RegistryTree::Read(classes.get(), id);
}

// What one DLL's registration leaves in its own view.
Entries Registered(const Build& build)
{
    Entries keys = ClassKey(build.view, kHandler);
    for (const auto& [key, value] : ClassKey(build.view, kFilter))
        keys[std::wstring(L"filter\\") + key] = value;
    return keys;
}

Entries Expected(const Build& build)
{
    return {{L"", L"Morvanex CHM filter Persistent Handler"},
            {L"PersistentAddinsRegistered", kNone},
            {L"PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}", kFilter},
            {L"filter\\", L"Morvanex CHM filter"},
            {L"filter\\InprocServer32", LoadedModule::BesideTestProgram(build.dll)},
            {L"filter\\InprocServer32|ThreadingModel", L"Both"}};
}

bool HasClass(REGSAM view, const wchar_t* id)
{
    RegKey key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + id).c_str(), 0, KEY_READ | view,
                         key.put()) == ERROR_SUCCESS;
}

std::wstring ChmHandler()
{
    const Entries chm = RegistryTree::Read(HKEY_CLASSES_ROOT, L".chm");
    const auto found = chm.find(L"PersistentHandler");
    return found == chm.end() ? L"" : found->second;
}

// A 64-bit host creates the filter from the registration, as a search host does.
HRESULT CreateFilterIn64BitHost()
{
    IFilter* filter = nullptr;
    const HRESULT hr = CoCreateInstance(kFilterClsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IFilter),
                                        reinterpret_cast<void**>(&filter));
    if (SUCCEEDED(hr))
        filter->Release();
    return hr;
}

class RegistryViews : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const Build* build : {&kX64, &kX86})
            ASSERT_TRUE(Registered(*build).empty()) << build->name << " view already holds our keys";
        m_chmBefore = RegistryTree::Read(HKEY_CLASSES_ROOT, L".chm");
    }
    void TearDown() override
    {
        // Undoes what an early failure left behind.
        for (const Build* build : {&kX64, &kX86})
            Regsvr32(*build, L"/u /s");
    }

    ComApartment m_com;
    Entries m_chmBefore;
};

TEST_F(RegistryViews, EachDllRegistersInItsOwnViewAndUnregistersOnlyItself)
{
    struct Order { const Build& first; const Build& second; };
    for (const Order& order : {Order{kX86, kX64}, Order{kX64, kX86}}) {
        SCOPED_TRACE(std::string("unregister ") + order.first.name + " first");
        ASSERT_EQ(0u, Regsvr32(order.second, L"/s"));
        ASSERT_EQ(0u, Regsvr32(order.first, L"/s"));
        EXPECT_EQ(Expected(kX64), Registered(kX64));
        EXPECT_EQ(Expected(kX86), Registered(kX86));
        EXPECT_EQ(kHandler, ChmHandler());
        EXPECT_EQ(S_OK, CreateFilterIn64BitHost());

        ASSERT_EQ(0u, Regsvr32(order.first, L"/u /s"));
        EXPECT_TRUE(Registered(order.first).empty());
        EXPECT_EQ(Expected(order.second), Registered(order.second)) << "the other DLL's registration is intact";
        EXPECT_EQ(kHandler, ChmHandler()) << "the shared extension link still serves the other DLL";
        EXPECT_EQ(order.second.view == KEY_WOW64_64KEY ? S_OK : REGDB_E_CLASSNOTREG, CreateFilterIn64BitHost());

        ASSERT_EQ(0u, Regsvr32(order.second, L"/u /s"));
        EXPECT_TRUE(Registered(order.second).empty());
        EXPECT_EQ(m_chmBefore, RegistryTree::Read(HKEY_CLASSES_ROOT, L".chm"));
    }
}

// A document class that exists in both views, named by the shared ProgID: each
// registration adds our handler to its own view's class. When the first DLL goes,
// its view's class is left empty and is removed, but the shared ProgID still names
// the class that the other view holds, so its link stays until the last DLL goes.
TEST_F(RegistryViews, SharedProgIdKeepsItsClassLinkWhileTheOtherViewUsesIt)
{
    constexpr const wchar_t* kDocClass = L"{0D3C5E6A-7F21-4B8E-9A64-2C1E5B7D9F30}";
    const std::wstring docClass = std::wstring(L"CLSID\\") + kDocClass;
    const Entries progIdBefore = RegistryTree::Read(HKEY_CLASSES_ROOT, L"chm.file");
    ASSERT_FALSE(progIdBefore.empty()) << "the prefix names chm.file for .chm";
    ASSERT_EQ(0u, progIdBefore.count(L"CLSID"));
    struct Cleanup {
        const std::wstring& docClass;
        ~Cleanup()
        {
            RegDeleteKeyW(HKEY_CLASSES_ROOT, L"chm.file\\CLSID");
            for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
                RegDeleteKeyExW(HKEY_CLASSES_ROOT, (docClass + L"\\PersistentHandler").c_str(), view, 0);
                RegDeleteKeyExW(HKEY_CLASSES_ROOT, docClass.c_str(), view, 0);
            }
        }
    } cleanup{docClass};

    struct Order { const Build& first; const Build& second; };
    for (const Order& order : {Order{kX86, kX64}, Order{kX64, kX86}}) {
        SCOPED_TRACE(std::string("unregister ") + order.first.name + " first");
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            RegKey key;
            ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, docClass.c_str(), 0, nullptr, 0,
                                                     KEY_ALL_ACCESS | view, nullptr, key.put(), nullptr));
        }
        RegistryTree::Write(HKEY_CLASSES_ROOT, {{L"chm.file\\CLSID", kDocClass}});
        const Entries progIdSeeded = RegistryTree::Read(HKEY_CLASSES_ROOT, L"chm.file");

        ASSERT_EQ(0u, Regsvr32(order.second, L"/s"));
        ASSERT_EQ(0u, Regsvr32(order.first, L"/s"));
        for (const Build* build : {&kX64, &kX86})
            EXPECT_EQ((Entries{{L"PersistentHandler", kHandler}}), ClassKey(build->view, kDocClass)) << build->name;

        ASSERT_EQ(0u, Regsvr32(order.first, L"/u /s"));
        EXPECT_FALSE(HasClass(order.first.view, kDocClass)) << "left empty, the class goes";
        EXPECT_EQ((Entries{{L"PersistentHandler", kHandler}}), ClassKey(order.second.view, kDocClass));
        EXPECT_EQ(progIdSeeded, RegistryTree::Read(HKEY_CLASSES_ROOT, L"chm.file"));

        ASSERT_EQ(0u, Regsvr32(order.second, L"/u /s"));
        EXPECT_FALSE(HasClass(order.second.view, kDocClass));
        EXPECT_EQ(progIdBefore, RegistryTree::Read(HKEY_CLASSES_ROOT, L"chm.file"));
        EXPECT_EQ(m_chmBefore, RegistryTree::Read(HKEY_CLASSES_ROOT, L".chm"));
    }
}

// Another product's handler held .chm before either DLL was registered: the
// link comes back to it when the last of the two DLLs goes, whichever that is,
// and its class (here only in the 64-bit view) is never touched.
TEST_F(RegistryViews, AnotherProductGetsChmBackFromTheLastDll)
{
    constexpr const wchar_t* kTheirs = L"{5E1D0C3B-2A49-4F86-B7D5-E3C2A1F09B87}";
    const std::wstring theirClass = std::wstring(L"CLSID\\") + kTheirs;
    struct Cleanup {
        const std::wstring& theirClass;
        const Entries& chmBefore;
        ~Cleanup()
        {
            RegDeleteKeyExW(HKEY_CLASSES_ROOT, theirClass.c_str(), KEY_WOW64_64KEY, 0);
            if (chmBefore.count(L"PersistentHandler") == 0)
                RegDeleteKeyW(HKEY_CLASSES_ROOT, L".chm\\PersistentHandler");
        }
    } cleanup{theirClass, m_chmBefore};
    {
        RegKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, theirClass.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, key.put(), nullptr));
    }
    RegistryTree::Write(HKEY_CLASSES_ROOT, {{L".chm\\PersistentHandler", kTheirs}});
    const Entries chmSeeded = RegistryTree::Read(HKEY_CLASSES_ROOT, L".chm");

    struct Order { const Build& first; const Build& second; };
    for (const Order& order : {Order{kX86, kX64}, Order{kX64, kX86}}) {
        SCOPED_TRACE(std::string("unregister ") + order.first.name + " first");
        ASSERT_EQ(0u, Regsvr32(order.second, L"/s"));
        ASSERT_EQ(0u, Regsvr32(order.first, L"/s"));
        EXPECT_EQ(kHandler, ChmHandler());

        ASSERT_EQ(0u, Regsvr32(order.first, L"/u /s"));
        EXPECT_EQ(kHandler, ChmHandler()) << "the other DLL still uses the link";

        ASSERT_EQ(0u, Regsvr32(order.second, L"/u /s"));
        EXPECT_EQ(chmSeeded, RegistryTree::Read(HKEY_CLASSES_ROOT, L".chm"));
        EXPECT_TRUE(HasClass(KEY_WOW64_64KEY, kTheirs));
    }
}

}  // namespace
