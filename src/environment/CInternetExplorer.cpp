#include "environment/CInternetExplorer.h"

#include "environment/CFindString.h"
#include "environment/CQuickStringW.h"
#include "environment/ParseUnsigned.h"
#include "registry/CRegistry.h"
#include "util/strings/BoundedString.h"

namespace {
const wchar_t kBrowserKey[] = L"Software\\Microsoft\\Internet Explorer";

// Reads a string value into a buffer sized by the value itself, terminated
// even when the stored data is not.
BOOL ReadWholeString(const CRegistry& key, const wchar_t* name, CQuickStringW& out)
{
    DWORD length = 0;
    if (!key.QueryValueLength(name, &length) || !out.Allocate(length))
        return FALSE;
    wmemset(out.Buffer(), L'\0', static_cast<size_t>(length) + 1);
    return key.ReadString(name, out.Buffer(), length);
}

// Parses the next `count` "."-separated parts of `parts` into `values`.
BOOL ParseParts(CFindString& parts, DWORD* const* values, size_t count)
{
    CQuickStringW token;
    for (size_t i = 0; i < count; ++i) {
        const BOOL next = i == 0 ? parts.SplitBy(L".", &token) : parts.NextToken(&token);
        if (!next || !ParseUnsigned(token.Text(), values[i]))
            return FALSE;
    }
    return TRUE;
}
}

CInternetExplorer::CInternetExplorer()
{
    ReadVersion();
}

BOOL CInternetExplorer::ReadVersion()
{
    valid = ReadFromRegistry();
    return valid;
}

BOOL CInternetExplorer::ReadFromRegistry()
{
    major = minor = build = subBuild = 0;
    customizedVersion[0] = L'\0';
    CRegistry key;
    if (!key.Open(HKEY_LOCAL_MACHINE, kBrowserKey))
        return FALSE;

    DWORD length = 0;
    if (key.QueryValueLength(L"Version", &length))
        return ReadFromVersion(key);
    return ReadFromIVer(key);
}

BOOL CInternetExplorer::ReadFromVersion(const CRegistry& key)
{
    CQuickStringW text;
    if (!ReadWholeString(key, L"Version", text))
        return FALSE;
    CFindString parts(text.Text());
    DWORD* const values[] = {&major, &minor, &build, &subBuild};
    if (!ParseParts(parts, values, 4))
        return FALSE;

    CQuickStringW customized;
    if (major >= 5 && ReadWholeString(key, L"CustomizedVersion", customized))
        BoundedCopy(customizedVersion, kCustomizedCapacity, customized.Text());
    return TRUE;
}

BOOL CInternetExplorer::ReadFromIVer(const CRegistry& key)
{
    CQuickStringW iver;
    DWORD number = 0;
    if (!ReadWholeString(key, L"IVer", iver) || !ParseUnsigned(iver.Text(), &number))
        return FALSE;

    switch (number) {
    case 100:
        major = 4, minor = 40, build = 308, subBuild = 0;
        return TRUE;
    case 101:
    case 102:
        major = 4, minor = 40, build = 520, subBuild = 0;
        return TRUE;
    case 103: {
        major = 4, minor = 70;
        CQuickStringW text;
        if (!ReadWholeString(key, L"Build", text))
            return FALSE;
        CFindString parts(text.Text());
        DWORD* const values[] = {&build, &subBuild};
        return ParseParts(parts, values, 2);
    }
    default:
        return FALSE;
    }
}

BOOL CInternetExplorer::GetVersion(DWORD* outMajor, DWORD* outMinor, DWORD* outBuild, DWORD* outSubBuild,
                                   wchar_t* text) const
{
    if (!valid)
        return FALSE;
    if (outMajor)
        *outMajor = major;
    if (outMinor)
        *outMinor = minor;
    if (outBuild)
        *outBuild = build;
    if (outSubBuild)
        *outSubBuild = subBuild;
    if (text)
        BoundedCopy(text, kCustomizedCapacity, customizedVersion);
    return TRUE;
}

BOOL IsBrowserAtLeast(const CInternetExplorer& browser, DWORD major, DWORD minor, DWORD build, DWORD subBuild)
{
    DWORD have[4] = {};
    if (!browser.GetVersion(&have[0], &have[1], &have[2], &have[3], nullptr))
        return FALSE;
    const DWORD want[4] = {major, minor, build, subBuild};
    for (int i = 0; i < 4; ++i) {
        if (have[i] != want[i])
            return have[i] > want[i] ? TRUE : FALSE;
    }
    return TRUE;
}
