// The facts recorded while the module loads are what the platform reports.
// This program links the same module objects as the DLL, so they were built at
// its start from what Wine reports.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cstdio>

#include "environment/EnvironmentFacts.h"
#include "environment/GetModuleVersion.h"
#include "support/ClassObject.h"
#include "support/LoadedModule.h"
#include "util/owners/RegKey.h"

namespace {

// Packed version straight from the DLL's export, without the product's code.
DWORD ReportedVersion(const wchar_t* dll)
{
    HMODULE module = GetModuleHandleW(dll);
    LoadedModule loaded(dll);
    if (!module)
        module = loaded.get();
    auto getVersion =
        reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetVersion")));
    if (!getVersion)
        return 0;
    DLLVERSIONINFO info = {};
    info.cbSize = sizeof(info);
    if (FAILED(getVersion(&info)))
        return 0;
    return (info.dwMajorVersion << 16) | info.dwMinorVersion;
}

TEST(ModuleFacts, DllVersionsAreWhatTheDllsReport)
{
    EXPECT_EQ(ReportedVersion(L"COMCTL32.DLL"), g_comctl32Version);
    EXPECT_EQ(ReportedVersion(L"SHELL32.DLL"), g_shell32Version);
    EXPECT_EQ(ReportedVersion(L"SHLWAPI.DLL"), g_shlwapiVersion);
    EXPECT_EQ(ReportedVersion(L"KERNEL32.DLL"), g_kernel32Version);
    // Wine's shell libraries report a version; its kernel does not.
    EXPECT_GE(g_shlwapiVersion, 0x00040047u);
    EXPECT_NE(0u, g_shell32Version);
    EXPECT_EQ(0u, g_kernel32Version);
}

TEST(ModuleFacts, OperatingSystemIsWhatTheSystemReports)
{
    OSVERSIONINFOEXW reported = {};
    reported.dwOSVersionInfoSize = sizeof(reported);
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&reported)));

    ASSERT_TRUE(g_operatingSystem.Initialised());
    OSVERSIONINFOEXW recorded = {};
    recorded.dwOSVersionInfoSize = sizeof(recorded);
    ASSERT_TRUE(g_operatingSystem.GetVersionInfo(reinterpret_cast<OSVERSIONINFOW*>(&recorded)));
    EXPECT_EQ(reported.dwMajorVersion, recorded.dwMajorVersion);
    EXPECT_EQ(reported.dwMinorVersion, recorded.dwMinorVersion);
    EXPECT_EQ(reported.dwBuildNumber, recorded.dwBuildNumber);
    EXPECT_EQ(reported.dwPlatformId, recorded.dwPlatformId);
    EXPECT_EQ(reported.wServicePackMajor, recorded.wServicePackMajor);
    EXPECT_EQ(reported.wProductType, recorded.wProductType);
    EXPECT_STREQ(reported.szCSDVersion, recorded.szCSDVersion);
    EXPECT_TRUE(g_operatingSystem.IsVersion(reported.dwMajorVersion, reported.dwMinorVersion, reported.dwPlatformId));

    const bool nt5 = reported.dwPlatformId == VER_PLATFORM_WIN32_NT && reported.dwMajorVersion >= 5;
    EXPECT_EQ(nt5, !!AtLeastNT_5_0);
    EXPECT_FALSE(AtLeast9x_4_10);
    EXPECT_EQ(nt5, !!IsVersionAtLeast(5, 0, 0, VER_PLATFORM_WIN32_NT));

    // Wine's product id carries "oem".
    wchar_t productId[201] = {};
    DWORD bytes = sizeof(productId) - sizeof(wchar_t);
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion",
                                          L"ProductId", RRF_RT_REG_SZ, nullptr, productId, &bytes));
    EXPECT_EQ(StrStrIW(productId, L"OEM") != nullptr, !!g_operatingSystem.OemInstall());
}

TEST(ModuleFacts, BrowserIsWhatTheRegistryHolds)
{
    wchar_t version[64] = {};
    DWORD bytes = sizeof(version) - sizeof(wchar_t);
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Internet Explorer", L"Version",
                                          RRF_RT_REG_SZ, nullptr, version, &bytes));
    unsigned want[4] = {};
    ASSERT_EQ(4, swscanf(version, L"%u.%u.%u.%u", &want[0], &want[1], &want[2], &want[3]));

    DWORD have[4] = {};
    ASSERT_TRUE(g_internetExplorer.GetVersion(&have[0], &have[1], &have[2], &have[3], nullptr));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(want[i], have[i]) << "part " << i;
    EXPECT_TRUE(IsBrowserAtLeast(want[0], want[1], want[2], want[3]));
    EXPECT_FALSE(IsBrowserAtLeast(want[0], want[1], want[2], want[3] + 1));
}

TEST(GetModuleVersion, Table)
{
    const std::wstring stub = LoadedModule::BesideTestProgram(L"tavrinolex_versionstub.dll");
    const std::wstring product = LoadedModule::BesideTestProgram(L"Tavrinolex.dll");
    const std::wstring tooLong(261, L'a');
    struct Case {
        const char* name;
        const wchar_t* dll;
        BOOL ok;
        DWORD version;
    };
    const Case cases[] = {
        {"DllGetVersion reporting 4.71", stub.c_str(), TRUE, 0x00040047},
        {"no DllGetVersion", product.c_str(), FALSE, 0},
        {"missing DLL", L"no_such_library.dll", FALSE, 0},
        {"empty name", L"", FALSE, 7},
        {"null name", nullptr, FALSE, 7},
        {"name of 261 characters", tooLong.c_str(), FALSE, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD version = 7;
        EXPECT_EQ(c.ok, GetModuleVersion(c.dll, &version));
        EXPECT_EQ(c.version, version);
        // The library is let go again.
        if (c.dll && c.dll[0]) {
            EXPECT_EQ(nullptr, GetModuleHandleW(c.dll));
        }
    }
    EXPECT_FALSE(GetModuleVersion(stub.c_str(), nullptr));
    EXPECT_EQ(0x00040047u, PackedModuleVersion(stub.c_str()));
    EXPECT_EQ(0u, PackedModuleVersion(product.c_str()));
}

TEST(ModuleFacts, ProductDllLoadsAndServes)
{
    LoadedModule dll(LoadedModule::BesideTestProgram(L"Tavrinolex.dll"));
    ASSERT_TRUE(dll);
    using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
    auto canUnload = dll.Export<CanUnloadFn>("DllCanUnloadNow");
    auto getClassObject = ClassObjectExport(dll.get());
    ASSERT_NE(nullptr, canUnload);
    ASSERT_NE(nullptr, getClassObject);
    EXPECT_EQ(S_OK, canUnload());

    const CLSID filter = {0x7A3E19C4, 0x2B6D, 0x4F81, {0x9C, 0x0A, 0x5E, 0x2D, 0x8B, 0x4F, 0x1A, 0x63}};
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, ClassFactory(getClassObject, filter, factory));
    EXPECT_EQ(S_FALSE, canUnload());
    EXPECT_EQ(0u, factory.detach()->Release());
    EXPECT_EQ(S_OK, canUnload());
}

}  // namespace
