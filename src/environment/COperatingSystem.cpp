#include "environment/COperatingSystem.h"

#include <cwchar>
#include <cwctype>

#include "environment/CFindString.h"
#include "registry/CRegistry.h"
#include "util/strings/BoundedString.h"

namespace {
const wchar_t kWindowsCurrentVersion[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
const wchar_t kNtCurrentVersion[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
const wchar_t kControlWindows[] = L"System\\CurrentControlSet\\Control\\Windows";
const wchar_t kProductOptions[] = L"System\\CurrentControlSet\\Control\\ProductOptions";

// Reads a string of at most `Room` characters into a terminated buffer. A
// longer value counts as unreadable, and a value stored without a terminator
// still ends inside the buffer.
template <size_t Room>
BOOL ReadBoundedString(const CRegistry& key, const wchar_t* name, wchar_t (&buffer)[Room + 1])
{
    wmemset(buffer, L'\0', Room + 1);
    return key.ReadString(name, buffer, Room);
}

struct SuiteWords {
    const wchar_t* first;
    const wchar_t* second;
    WORD bit;
};
const SuiteWords kSuites[] = {
    {L"Terminal Server", nullptr, VER_SUITE_TERMINAL},
    {L"Enterprise", nullptr, VER_SUITE_ENTERPRISE},
    {L"Back", L"Office", VER_SUITE_BACKOFFICE},
    {L"Data", L"Center", VER_SUITE_DATACENTER},
    {L"Small", L"Business", VER_SUITE_SMALLBUSINESS},
    {L"Personal", nullptr, VER_SUITE_PERSONAL},
};

struct ProductTypeName {
    const wchar_t* name;
    BYTE type;
};
const ProductTypeName kProductTypes[] = {
    {L"WinNT", VER_NT_WORKSTATION},
    {L"LanmanNT", VER_NT_DOMAIN_CONTROLLER},
    {L"ServerNT", VER_NT_SERVER},
};
}

COperatingSystem::COperatingSystem(VersionRecordSource source) : m_source(source ? source : &GetVersionExW)
{
    subVersionLetter = L'\0';
    initialised = Initialise();
}

BOOL COperatingSystem::Initialise()
{
    basicValid = FALSE;
    ZeroMemory(&basicRecord, sizeof(basicRecord));
    basicRecord.dwOSVersionInfoSize = sizeof(basicRecord);
    if (!m_source(&basicRecord))
        return FALSE;
    basicValid = TRUE;

    if (!ReadSubVersionLetter() || !ReadOemFlag())
        return FALSE;

    ZeroMemory(&extendedRecord, sizeof(extendedRecord));
    extendedRecord.dwOSVersionInfoSize = sizeof(extendedRecord);
    if (m_source(reinterpret_cast<OSVERSIONINFOW*>(&extendedRecord)))
        return TRUE;
    return BuildExtendedRecord();
}

BOOL COperatingSystem::GetVersionInfo(OSVERSIONINFOW* record) const
{
    if (!record)
        return FALSE;
    if (initialised) {
        if (record->dwOSVersionInfoSize == sizeof(basicRecord)) {
            *record = basicRecord;
            return TRUE;
        }
        if (record->dwOSVersionInfoSize == sizeof(extendedRecord)) {
            *reinterpret_cast<OSVERSIONINFOEXW*>(record) = extendedRecord;
            return TRUE;
        }
    }
    return m_source(record);
}

BOOL COperatingSystem::IsVersion(DWORD major, DWORD minor, DWORD platform) const
{
    return basicValid && basicRecord.dwPlatformId == platform && basicRecord.dwMajorVersion == major &&
           basicRecord.dwMinorVersion == minor;
}

BOOL COperatingSystem::ReadSubVersionLetter()
{
    subVersionLetter = L'\0';
    if (!basicValid)
        return FALSE;

    wchar_t text[51] = {};
    if (basicRecord.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        CRegistry key;
        if (!key.Open(HKEY_LOCAL_MACHINE, kWindowsCurrentVersion))
            return FALSE;
        if (!ReadBoundedString<50>(key, L"SubVersionNumber", text) || text[0] == L'\0') {
            // "4.10.2222" and the like: the third part carries the letter.
            wchar_t number[21];
            if (!ReadBoundedString<20>(key, L"VersionNumber", number))
                return FALSE;
            CFindString parts(number);
            CQuickStringW part;
            if (!parts.SplitBy(L".", &part) || !parts.NextToken(&part) || !parts.NextToken(&part))
                return FALSE;
            BoundedCopy(text, 50, part.Text());
        }
    } else if (basicRecord.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        CRegistry key;
        if (!key.Open(HKEY_LOCAL_MACHINE, kNtCurrentVersion) ||
            !ReadBoundedString<50>(key, L"CurrentBuildNumber", text))
            return FALSE;
    } else {
        return FALSE;
    }

    size_t length = wcslen(text);
    while (length > 0 && iswspace(text[length - 1]))
        --length;
    if (length > 0 && IsCharAlphaW(text[length - 1]))
        subVersionLetter = text[length - 1];
    return TRUE;
}

BOOL COperatingSystem::ReadOemFlag()
{
    oemInstall = FALSE;
    if (!basicValid)
        return FALSE;
    const wchar_t* path = nullptr;
    if (basicRecord.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
        path = kWindowsCurrentVersion;
    else if (basicRecord.dwPlatformId == VER_PLATFORM_WIN32_NT)
        path = kNtCurrentVersion;
    else
        return FALSE;

    CRegistry key;
    if (!key.Open(HKEY_LOCAL_MACHINE, path))
        return TRUE;
    wchar_t productId[201];
    if (!ReadBoundedString<200>(key, L"ProductId", productId))
        return FALSE;
    oemInstall = CFindString(productId).Find(L"OEM", FALSE) >= 0 ? TRUE : FALSE;
    return TRUE;
}

BOOL COperatingSystem::BuildExtendedRecord()
{
    extendedRecord.dwOSVersionInfoSize = sizeof(extendedRecord);
    extendedRecord.dwMajorVersion = basicRecord.dwMajorVersion;
    extendedRecord.dwMinorVersion = basicRecord.dwMinorVersion;
    extendedRecord.dwPlatformId = basicRecord.dwPlatformId;
    // Windows 9x keeps its version in the high word of the build number.
    extendedRecord.dwBuildNumber = basicRecord.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS
                                       ? (basicRecord.dwBuildNumber & 0xFFFF)
                                       : basicRecord.dwBuildNumber;
    BoundedCopy(extendedRecord.szCSDVersion, ARRAYSIZE(extendedRecord.szCSDVersion), basicRecord.szCSDVersion);

    switch (basicRecord.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
        extendedRecord.wServicePackMajor = 0;
        extendedRecord.wServicePackMinor = 0;
        extendedRecord.wSuiteMask = 0;
        extendedRecord.wProductType = 0;
        // A 4.0 of the 9x family marks its service release only by the letter A
        // (OEM installs carry that letter without the release).
        if (IsVersion(4, 0, VER_PLATFORM_WIN32_WINDOWS) && subVersionLetter == L'A' && !oemInstall)
            extendedRecord.wServicePackMajor = 1;
        return TRUE;
    case VER_PLATFORM_WIN32_NT:
        return ReadNtServicePack() && ReadNtProductOptions();
    default:
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
}

BOOL COperatingSystem::ReadNtServicePack()
{
    CRegistry key;
    DWORD size = 0;
    DWORD csdVersion = 0;
    if (!key.Open(HKEY_LOCAL_MACHINE, kControlWindows) || !key.QueryValueSize(L"CSDVersion", &size) ||
        size != sizeof(csdVersion) || !key.ReadValue(L"CSDVersion", &csdVersion, sizeof(csdVersion)))
        return FALSE;
    extendedRecord.wServicePackMajor = static_cast<WORD>((csdVersion >> 8) & 0xFF);
    extendedRecord.wServicePackMinor = static_cast<WORD>(csdVersion & 0xFF);
    return TRUE;
}

BOOL COperatingSystem::ReadNtProductOptions()
{
    CRegistry key;
    wchar_t productType[257];
    if (!key.Open(HKEY_LOCAL_MACHINE, kProductOptions) || !ReadBoundedString<256>(key, L"ProductType", productType))
        return FALSE;

    // "ProductSuite" is a multi-string on NT: join its entries so that every
    // entry is searched, not only the first.
    wchar_t productSuite[257];
    DWORD suiteBytes = 0;
    if (!ReadBoundedString<256>(key, L"ProductSuite", productSuite) ||
        !key.QueryValueSize(L"ProductSuite", &suiteBytes))
        wmemset(productSuite, L'\0', ARRAYSIZE(productSuite));
    size_t suiteChars = suiteBytes / sizeof(wchar_t);
    if (suiteChars > 256)
        suiteChars = 256;
    while (suiteChars > 0 && productSuite[suiteChars - 1] == L'\0')
        --suiteChars;
    for (size_t i = 0; i < suiteChars; ++i) {
        if (productSuite[i] == L'\0')
            productSuite[i] = L'\n';
    }

    BYTE type = 0;
    for (const auto& known : kProductTypes) {
        if (wcscmp(productType, known.name) == 0)
            type = known.type;
    }
    if (type == 0)
        return FALSE;
    extendedRecord.wProductType = type;

    CFindString suite(productSuite);
    WORD mask = 0;
    for (const auto& words : kSuites) {
        if (suite.Find(words.first, FALSE) >= 0 && (!words.second || suite.Find(words.second, FALSE) >= 0))
            mask |= words.bit;
    }
    extendedRecord.wSuiteMask = mask;
    return TRUE;
}

BOOL IsVersionAtLeast(const COperatingSystem& system, DWORD major, DWORD minor, WORD servicePackMajor,
                      DWORD platform)
{
    OSVERSIONINFOEXW record = {};
    record.dwOSVersionInfoSize = sizeof(record);
    if (!system.GetVersionInfo(reinterpret_cast<OSVERSIONINFOW*>(&record)))
        return FALSE;
    if (record.dwPlatformId != platform)
        return FALSE;
    if (record.dwMajorVersion != major)
        return record.dwMajorVersion > major ? TRUE : FALSE;
    if (record.dwMinorVersion != minor)
        return record.dwMinorVersion > minor ? TRUE : FALSE;
    return record.wServicePackMajor >= servicePackMajor ? TRUE : FALSE;
}
