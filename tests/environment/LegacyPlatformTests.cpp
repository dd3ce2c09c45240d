// Built twice, as environment_win98_tests.exe and environment_nt40_tests.exe;
// Wine reports Windows 98 or NT 4.0 to each, so the module facts and the
// version-dependent branches are driven by the platform itself.
#include <gtest/gtest.h>

#include <string>

#include "support/RegistryFixture.h"
#include "environment/COperatingSystem.h"
#include "environment/EnvironmentFacts.h"
#include "support/ScratchFolder.h"
#include "support/ScratchRegistry.h"

namespace {

#if defined(TAVRINOLEX_AS_win98)
constexpr DWORD kPlatform = VER_PLATFORM_WIN32_WINDOWS;
constexpr DWORD kMajor = 4, kMinor = 10;
#elif defined(TAVRINOLEX_AS_nt40)
constexpr DWORD kPlatform = VER_PLATFORM_WIN32_NT;
constexpr DWORD kMajor = 4, kMinor = 0;
#else
#error "build with TAVRINOLEX_AS_win98 or TAVRINOLEX_AS_nt40"
#endif

TEST(LegacyPlatform, WineReportsTheOverriddenVersion)
{
    OSVERSIONINFOW record = {};
    record.dwOSVersionInfoSize = sizeof(record);
    ASSERT_TRUE(GetVersionExW(&record));
    ASSERT_EQ(kPlatform, record.dwPlatformId) << "is the per-program Version override in place?";
    EXPECT_EQ(kMajor, record.dwMajorVersion);
    EXPECT_EQ(kMinor, record.dwMinorVersion);
}

TEST(LegacyPlatform, FactsRecordedAtLoad)
{
    EXPECT_TRUE(g_operatingSystem.IsVersion(kMajor, kMinor, kPlatform));
    EXPECT_EQ(kPlatform == VER_PLATFORM_WIN32_WINDOWS, !!AtLeast9x_4_10);
    EXPECT_FALSE(AtLeastNT_5_0);
    EXPECT_EQ(kPlatform == VER_PLATFORM_WIN32_NT, !!IsVersionAtLeast(4, 0, 0, VER_PLATFORM_WIN32_NT));
    EXPECT_FALSE(IsVersionAtLeast(5, 0, 0, kPlatform));
}

TEST(LegacyPlatform, RecordsWithTheSystemsRegistryValues)
{
    ScratchRegistry scratch;
#if defined(TAVRINOLEX_AS_win98)
    SetMachineString(L"Software\\Microsoft\\Windows\\CurrentVersion", L"VersionNumber", L"4.10.2222");
    SetMachineString(L"Software\\Microsoft\\Windows\\CurrentVersion", L"SubVersionNumber", L" A ");
    SetMachineString(L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProductId", L"12345-OEM-0000001-54321");
#else
    SetMachineString(L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentBuildNumber", L"1381");
    SetMachineString(L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"ProductId", L"12345-000-0000001-54321");
    SetMachineDword(L"System\\CurrentControlSet\\Control\\Windows", L"CSDVersion", 0x0600);
    SetMachineString(L"System\\CurrentControlSet\\Control\\ProductOptions", L"ProductType", L"WinNT");
#endif
    COperatingSystem system;  // bound to the real GetVersionExW
    ASSERT_TRUE(system.Initialised());
    OSVERSIONINFOEXW record = {};
    record.dwOSVersionInfoSize = sizeof(record);
    ASSERT_TRUE(system.GetVersionInfo(reinterpret_cast<OSVERSIONINFOW*>(&record)));
    EXPECT_EQ(kPlatform, record.dwPlatformId);
    EXPECT_EQ(kMajor, record.dwMajorVersion);
    EXPECT_EQ(kMinor, record.dwMinorVersion);
#if defined(TAVRINOLEX_AS_win98)
    EXPECT_EQ(L'A', system.SubVersionLetter());
    EXPECT_TRUE(system.OemInstall());
    EXPECT_TRUE(IsVersionAtLeast(system, 4, 10, 0, VER_PLATFORM_WIN32_WINDOWS));
#else
    EXPECT_EQ(L'\0', system.SubVersionLetter());
    EXPECT_FALSE(system.OemInstall());
    EXPECT_EQ(6, record.wServicePackMajor);
    EXPECT_TRUE(IsVersionAtLeast(system, 4, 0, 6, VER_PLATFORM_WIN32_NT));
#endif
    EXPECT_FALSE(IsVersionAtLeast(system, 5, 0, 0, VER_PLATFORM_WIN32_NT));
}

TEST(LegacyPlatform, LongPathByTheRecordedRoute)
{
    // NT 4.0 has no GetLongPathNameW as far as the recorded facts go, so the
    // shell's parser answers; Windows 98 uses the platform call. The routes
    // differ on a folder named with its closing separator: only the platform
    // call keeps it.
    ScratchFolder folder;
    const std::wstring file = folder.WriteFile(L"Long Folder Name\\long file name.html", "x");
    wchar_t out[MAX_PATH] = {};
    EXPECT_EQ(file.size(), GetLongPath(file.c_str(), out, MAX_PATH));
    EXPECT_EQ(0, lstrcmpiW(file.c_str(), out));

    const std::wstring named = folder / L"Long Folder Name\\";
    const bool platformCall = kPlatform == VER_PLATFORM_WIN32_WINDOWS;
    const std::wstring want = platformCall ? named : named.substr(0, named.size() - 1);
    ASSERT_NE(0u, GetLongPath(named.c_str(), out, MAX_PATH));
    EXPECT_EQ(0, lstrcmpiW(want.c_str(), out)) << (platformCall ? "GetLongPathNameW" : "shell parser") << " expected";
}

}  // namespace
