// Which product's filter tables a host uses, seen from real processes: the
// test host runs under each search process's name, from a plain folder or from
// a product's program folder, and reports which filter class read its page.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <typeinfo>

#include "support/LookupFixture.h"
#include "filter/CHostProcessInfo.h"
#include "registry/CIFilterRegistryHelperIndexingService30.h"
#include "registry/CIFilterRegistryHelperMSNDesktopSearch.h"
#include "registry/CIFilterRegistryHelperOfficeServer12.h"
#include "registry/CIFilterRegistryHelperSQLServer2000.h"
#include "registry/CIFilterRegistryHelperSharepoint2001.h"
#include "registry/CIFilterRegistryHelperSharepoint2003.h"
#include "registry/CIFilterRegistryHelperWindowsServerExtensions12.h"
#include "support/FilterDllCopy.h"
#include "support/LoadedModule.h"
#include "support/RegistryFixture.h"
#include "support/ScratchFolder.h"
#include "support/ScratchRegistry.h"
#include "util/owners/UniqueHandle.h"

namespace {
namespace L = LookupFixture;
namespace Ids = PageFilterClassIds;

constexpr wchar_t kOfficeServer[] = L"SOFTWARE\\Microsoft\\Office Server\\12.0";
constexpr wchar_t kSharepoint[] = L"SOFTWARE\\Microsoft\\SharePoint Portal Server";

std::wstring ProductHtmKey(const std::wstring& productKey)
{
    return L"SOFTWARE\\Microsoft\\" + productKey + L"\\ContentIndexCommon\\Filters\\Extension\\.htm";
}

std::wstring ReadResult(const std::wstring& path)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        return L"(no result)";
    wchar_t text[64] = {};
    DWORD read = 0;
    ReadFile(file.get(), text, sizeof(text) - sizeof(wchar_t), &read, nullptr);
    return text;
}

// Runs the host copy and gives what it reported.
std::wstring RunHost(const std::wstring& exe, const std::wstring& registry, const std::wstring& page,
                     const std::wstring& result)
{
    std::wstring command = L"\"" + exe + L"\" \"" + registry + L"\" \"" + page + L"\" \"" + result + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return L"(not started)";
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        return L"(hung)";
    }
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    if (code != 0)
        return L"(exit code " + std::to_wstring(code) + L")";
    const std::wstring reported = ReadResult(result);
    DeleteFileW(result.c_str());
    return reported;
}

TEST(HostChoice, EachHostReadsThePageWithItsProductsFilter)
{
    ComApartment com;
    ScratchRegistry registry;
    ScratchFolder folder;
    FilterDllCopy dll(folder, L"filters\\Page.dll");

    // One filter class per product's tables, so the class tells the tables.
    for (const wchar_t* clsid : {Ids::StandardTablesString, Ids::DesktopSearchTablesString,
                                 Ids::OfficeServerTablesString, Ids::Sharepoint2003TablesString})
        L::RegisterFilterClass(clsid, dll.Path());
    L::RegisterHandler(L::kHandler, Ids::StandardTablesString);
    L::LinkExtensionHandler(L"htm", L::kHandler);
    SetRegistryString(HKEY_CURRENT_USER, ProductHtmKey(L"RSSearch").c_str(), nullptr, Ids::DesktopSearchTablesString);

    // Office Server 12 and SharePoint Portal Server 2003 both installed.
    SetMachineString(kOfficeServer, L"InstallPath", (folder / L"Office Server\\12.0").c_str());
    SetRegistryString(HKEY_LOCAL_MACHINE, ProductHtmKey(L"Office Server\\12.0\\Search\\Setup").c_str(), nullptr,
                      Ids::OfficeServerTablesString);
    SetMachineString(kSharepoint, L"InstallPath", (folder / L"SharePoint Portal Server\\").c_str());
    SetMachineDword(kSharepoint, L"SPSV2", 1);
    SetRegistryString(HKEY_LOCAL_MACHINE, ProductHtmKey(L"SPSSearch").c_str(), nullptr,
                      Ids::Sharepoint2003TablesString);

    const std::wstring page = folder.WriteFile(L"pages\\page.htm", "<html><body>page</body></html>");
    const std::wstring host = LoadedModule::BesideTestProgram(L"pagehost.exe");

    struct Case {
        const wchar_t* exe;
        const wchar_t* want;
    };
    const Case cases[] = {
        {L"hosts\\msngather.exe", Ids::DesktopSearchTablesString},
        {L"hosts\\WindowsSearchFilter.exe", Ids::DesktopSearchTablesString},
        {L"hosts\\SearchFilterHost.exe", Ids::StandardTablesString},
        {L"hosts\\filtdump.exe", Ids::StandardTablesString},
        {L"hosts\\mssdmn.exe", Ids::StandardTablesString},
        {L"Office Server\\12.0\\bin\\mssdmn.exe", Ids::OfficeServerTablesString},
        {L"Office Server\\12.0\\bin\\FILTDUMP.EXE", Ids::OfficeServerTablesString},
        {L"Office Server\\12.0\\bin\\msngather.exe", Ids::DesktopSearchTablesString},
        {L"SharePoint Portal Server\\bin\\mssdmn.exe", Ids::Sharepoint2003TablesString},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.exe));
        const std::wstring exe = folder / c.exe;
        folder.MakeFolder(std::wstring(c.exe).substr(0, std::wstring(c.exe).rfind(L'\\')));
        ASSERT_TRUE(CopyFileW(host.c_str(), exe.c_str(), FALSE));
        EXPECT_EQ(c.want, RunHost(exe, registry.RealPath(), page, folder / L"result.txt"));
    }
}

// The products share one process name, so the program folder that holds the
// host decides, and where two products share a folder the order does.
TEST(HostChoice, ServerSearchHostsAreMatchedByProgramFolderInProductOrder)
{
    ScratchRegistry registry;
    const wchar_t* search = L"SOFTWARE\\Microsoft\\Search\\1.0";
    const wchar_t* extensions = L"SOFTWARE\\Microsoft\\Shared Tools\\Web Server Extensions\\12.0";
    SetMachineString(search, L"InstallDirectory", L"C:\\Search");
    SetMachineString(extensions, L"Location", L"C:\\Extensions\\");

    struct Case {
        const char* label;
        const wchar_t* host;
        int spsv2;  // -1: no SharePoint key, 0: key without the value
        const wchar_t* officeServer;  // its InstallPath, or null
        const std::type_info& want;
    };
    const Case cases[] = {
        {"search folder, no SharePoint", L"C:\\Search\\bin\\mssdmn.exe", -1, nullptr,
         typeid(CIFilterRegistryHelperSQLServer2000)},
        {"search folder, SharePoint 2001", L"C:\\SEARCH\\BIN\\MSSDMN.EXE", 0, nullptr,
         typeid(CIFilterRegistryHelperSharepoint2001)},
        {"search folder, SPSV2 2: neither SharePoint", L"C:\\Search\\bin\\mssdmn.exe", 2, nullptr,
         typeid(CIFilterRegistryHelperSQLServer2000)},
        {"extensions folder", L"C:\\Extensions\\bin\\filtdump.exe", -1, nullptr,
         typeid(CIFilterRegistryHelperWindowsServerExtensions12)},
        {"Office Server shares the extensions folder and is tried first", L"C:\\Extensions\\bin\\mssdmn.exe", -1,
         L"C:\\Extensions", typeid(CIFilterRegistryHelperOfficeServer12)},
        {"another name in a product folder", L"C:\\Search\\bin\\cidaemon.exe", -1, nullptr,
         typeid(CIFilterRegistryHelperIndexingService30)},
        {"a product's name outside every product folder", L"C:\\Elsewhere\\mssdmn.exe", 0, nullptr,
         typeid(CIFilterRegistryHelperIndexingService30)},
        {"a folder below the program folder", L"C:\\Search\\bin\\x\\mssdmn.exe", -1, nullptr,
         typeid(CIFilterRegistryHelperIndexingService30)},
        {"Desktop Search in any folder", L"C:\\Search\\bin\\MsnGather.exe", -1, nullptr,
         typeid(CIFilterRegistryHelperMSNDesktopSearch)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSharepoint);
        if (c.spsv2 >= 0)
            SetMachineString(kSharepoint, L"Version", L"scratch");
        if (c.spsv2 > 0)
            SetMachineDword(kSharepoint, L"SPSV2", static_cast<DWORD>(c.spsv2));
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kOfficeServer);
        if (c.officeServer)
            SetMachineString(kOfficeServer, L"InstallPath", c.officeServer);

        CHostProcessInfo host(c.host);
        const auto helper = host.CreateHelperForHost();
        ASSERT_TRUE(helper);
        EXPECT_EQ(c.want, typeid(*helper)) << typeid(*helper).name();
    }
}

}  // namespace
