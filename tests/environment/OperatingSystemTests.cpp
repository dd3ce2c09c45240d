#include <gtest/gtest.h>

#include "support/RegistryFixture.h"
#include "environment/COperatingSystem.h"
#include "support/ScratchRegistry.h"

namespace {

const wchar_t kNtCurrent[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
const wchar_t kWinCurrent[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
const wchar_t kControlWindows[] = L"System\\CurrentControlSet\\Control\\Windows";
const wchar_t kProductOptions[] = L"System\\CurrentControlSet\\Control\\ProductOptions";

// A system that knows only the basic record, as Windows 9x and NT 4.0 before
// service pack 4 did.
OSVERSIONINFOW g_basic;
BOOL WINAPI BasicRecordOnly(OSVERSIONINFOW* record)
{
    if (record->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    *record = g_basic;
    return TRUE;
}

void SetBasic(DWORD platform, DWORD major, DWORD minor, DWORD build, const wchar_t* csd)
{
    g_basic = {};
    g_basic.dwOSVersionInfoSize = sizeof(g_basic);
    g_basic.dwPlatformId = platform;
    g_basic.dwMajorVersion = major;
    g_basic.dwMinorVersion = minor;
    g_basic.dwBuildNumber = build;
    wcscpy(g_basic.szCSDVersion, csd);
}

OSVERSIONINFOEXW Extended(const COperatingSystem& system)
{
    OSVERSIONINFOEXW record = {};
    record.dwOSVersionInfoSize = sizeof(record);
    EXPECT_TRUE(system.GetVersionInfo(reinterpret_cast<OSVERSIONINFOW*>(&record)));
    return record;
}

class Nt40 : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetBasic(VER_PLATFORM_WIN32_NT, 4, 0, 1381, L"Service Pack 6");
        SetMachineString(kNtCurrent, L"CurrentBuildNumber", L"1381");
        SetMachineString(kNtCurrent, L"ProductId", L"51222-OEM-0012345-67890");
        SetMachineDword(kControlWindows, L"CSDVersion", 0x0600);
        SetMachineString(kProductOptions, L"ProductType", L"ServerNT");
    }
    ScratchRegistry m_scratch;
};

TEST_F(Nt40, ExtendedRecordPutTogether)
{
    SetMachineMultiString(kProductOptions, L"ProductSuite", L"Enterprise|Terminal Server");
    COperatingSystem system(&BasicRecordOnly);
    ASSERT_TRUE(system.Initialised());
    const OSVERSIONINFOEXW record = Extended(system);
    EXPECT_EQ(sizeof(OSVERSIONINFOEXW), record.dwOSVersionInfoSize);
    EXPECT_EQ(4u, record.dwMajorVersion);
    EXPECT_EQ(0u, record.dwMinorVersion);
    EXPECT_EQ(1381u, record.dwBuildNumber);
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), record.dwPlatformId);
    EXPECT_STREQ(L"Service Pack 6", record.szCSDVersion);
    EXPECT_EQ(6, record.wServicePackMajor);
    EXPECT_EQ(0, record.wServicePackMinor);
    EXPECT_EQ(VER_NT_SERVER, record.wProductType);
    // Both entries of the multi-string count.
    EXPECT_EQ(VER_SUITE_ENTERPRISE | VER_SUITE_TERMINAL, record.wSuiteMask);
    EXPECT_TRUE(system.OemInstall());
    EXPECT_EQ(L'\0', system.SubVersionLetter());

    EXPECT_TRUE(system.IsVersion(4, 0, VER_PLATFORM_WIN32_NT));
    EXPECT_TRUE(IsVersionAtLeast(system, 4, 0, 6, VER_PLATFORM_WIN32_NT));
    EXPECT_FALSE(IsVersionAtLeast(system, 4, 0, 7, VER_PLATFORM_WIN32_NT));
    EXPECT_FALSE(IsVersionAtLeast(system, 5, 0, 0, VER_PLATFORM_WIN32_NT));
    EXPECT_TRUE(IsVersionAtLeast(system, 3, 51, 9, VER_PLATFORM_WIN32_NT));
    EXPECT_FALSE(IsVersionAtLeast(system, 4, 0, 0, VER_PLATFORM_WIN32_WINDOWS));

    OSVERSIONINFOW basic = {};
    basic.dwOSVersionInfoSize = sizeof(basic);
    ASSERT_TRUE(system.GetVersionInfo(&basic));
    EXPECT_EQ(1381u, basic.dwBuildNumber);
}

TEST(Nt40ProductOptions, TypesAndSuites)
{
    struct Case {
        const wchar_t* type;
        const wchar_t* suite;  // null: not stored
        BOOL ok;
        BYTE productType;
        WORD mask;
        WORD servicePack;
    };
    const Case cases[] = {
        {L"WinNT", nullptr, TRUE, VER_NT_WORKSTATION, 0, 6},
        {L"LanmanNT", L"Small Business", TRUE, VER_NT_DOMAIN_CONTROLLER, VER_SUITE_SMALLBUSINESS, 6},
        {L"ServerNT", L"BackOffice", TRUE, VER_NT_SERVER, VER_SUITE_BACKOFFICE, 6},
        {L"ServerNT", L"Terminal Server", TRUE, VER_NT_SERVER, VER_SUITE_TERMINAL, 6},
        {L"ServerNT", L"DataCenter", TRUE, VER_NT_SERVER, VER_SUITE_DATACENTER, 6},
        {L"WinNT", L"Personal", TRUE, VER_NT_WORKSTATION, VER_SUITE_PERSONAL, 6},
        {L"ServerNT", L"Small", TRUE, VER_NT_SERVER, 0, 6},  // both words are needed
        {L"winnt", nullptr, FALSE, 0, 0, 0},                  // exact case only
        {L"Workstation", nullptr, FALSE, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << Narrow(c.type) << " / " << Narrow(c.suite));
        ScratchRegistry scratch;
        SetBasic(VER_PLATFORM_WIN32_NT, 4, 0, 1381, L"Service Pack 6");
        SetMachineString(kNtCurrent, L"CurrentBuildNumber", L"1381");
        SetMachineString(kNtCurrent, L"ProductId", L"51222-000-0012345-67890");
        SetMachineDword(kControlWindows, L"CSDVersion", 0x0600);
        SetMachineString(kProductOptions, L"ProductType", c.type);
        if (c.suite)
            SetMachineString(kProductOptions, L"ProductSuite", c.suite);

        COperatingSystem system(&BasicRecordOnly);
        ASSERT_EQ(c.ok, system.Initialised());
        if (!c.ok) {
            // Nothing cached: extended requests go to a source that lacks them.
            OSVERSIONINFOEXW record = {};
            record.dwOSVersionInfoSize = sizeof(record);
            EXPECT_FALSE(system.GetVersionInfo(reinterpret_cast<OSVERSIONINFOW*>(&record)));
            EXPECT_FALSE(IsVersionAtLeast(system, 4, 0, 0, VER_PLATFORM_WIN32_NT));
            continue;
        }
        const OSVERSIONINFOEXW record = Extended(system);
        EXPECT_EQ(c.productType, record.wProductType);
        EXPECT_EQ(c.mask, record.wSuiteMask);
        EXPECT_EQ(c.servicePack, record.wServicePackMajor);
        EXPECT_FALSE(system.OemInstall());
    }
}

TEST_F(Nt40, ServicePackValueMustBeFourBytes)
{
    SetMachineDword(kControlWindows, L"CSDVersion", 0x0302);
    {
        COperatingSystem system(&BasicRecordOnly);
        ASSERT_TRUE(system.Initialised());
        EXPECT_EQ(3, Extended(system).wServicePackMajor);
        EXPECT_EQ(2, Extended(system).wServicePackMinor);
    }
    SetMachineValue(kControlWindows, L"CSDVersion", REG_BINARY, "\x00\x06", 2);
    EXPECT_FALSE(COperatingSystem(&BasicRecordOnly).Initialised());
    SetMachineValue(kControlWindows, L"CSDVersion", REG_BINARY, "\x00\x06\x00\x00\x00\x00\x00\x00", 8);
    EXPECT_FALSE(COperatingSystem(&BasicRecordOnly).Initialised());
}

TEST(Windows9x, ExtendedRecordAndLetters)
{
    struct Case {
        const char* name;
        DWORD minor;
        DWORD build;
        const wchar_t* subVersion;  // null: not stored
        const wchar_t* versionNumber;
        const wchar_t* productId;
        BOOL ok;
        wchar_t letter;
        WORD servicePack;
    };
    const Case cases[] = {
        {"98 second edition", 10, 0x040A08AE, L" A ", L"4.10.2222", L"12345-000-1234567-12345", TRUE, L'A', 0},
        {"98, letter from VersionNumber", 10, 0x040A07CE, L"", L"4.10.1998 B", L"12345-000-1", TRUE, L'B', 0},
        {"98, no letter", 10, 0x040A07CE, nullptr, L"4.10.1998", L"12345-000-1", TRUE, L'\0', 0},
        {"95 retail A is service pack 1", 0, 0x040003B6, L" A", L"4.00.950", L"12345-000-1", TRUE, L'A', 1},
        {"95 OEM A is not", 0, 0x040003B6, L" A", L"4.00.950", L"12345-OEM-1", TRUE, L'A', 0},
        {"VersionNumber of two parts", 10, 0x040A07CE, nullptr, L"4.10", L"12345-000-1", FALSE, L'\0', 0},
        {"no ProductId", 10, 0x040A07CE, L"A", L"4.10.1998", nullptr, FALSE, L'A', 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchRegistry scratch;
        SetBasic(VER_PLATFORM_WIN32_WINDOWS, 4, c.minor, c.build, L" A ");
        if (c.subVersion)
            SetMachineString(kWinCurrent, L"SubVersionNumber", c.subVersion);
        SetMachineString(kWinCurrent, L"VersionNumber", c.versionNumber);
        if (c.productId)
            SetMachineString(kWinCurrent, L"ProductId", c.productId);

        COperatingSystem system(&BasicRecordOnly);
        EXPECT_EQ(c.letter, system.SubVersionLetter());
        ASSERT_EQ(c.ok, system.Initialised());
        if (!c.ok)
            continue;
        const OSVERSIONINFOEXW record = Extended(system);
        EXPECT_EQ(c.build & 0xFFFF, record.dwBuildNumber);
        EXPECT_EQ(c.servicePack, record.wServicePackMajor);
        EXPECT_EQ(0, record.wSuiteMask);
        EXPECT_EQ(0, record.wProductType);
        EXPECT_EQ(c.minor == 10, !!IsVersionAtLeast(system, 4, 10, 0, VER_PLATFORM_WIN32_WINDOWS));
        EXPECT_FALSE(IsVersionAtLeast(system, 4, 0, 0, VER_PLATFORM_WIN32_NT));
    }
}

TEST(OperatingSystem, UnknownPlatformIsNotInitialised)
{
    ScratchRegistry scratch;
    SetBasic(VER_PLATFORM_WIN32s, 3, 10, 0, L"");
    COperatingSystem system(&BasicRecordOnly);
    EXPECT_FALSE(system.Initialised());
    EXPECT_TRUE(system.IsVersion(3, 10, VER_PLATFORM_WIN32s));
}

}  // namespace
