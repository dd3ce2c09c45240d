#include "registry/CRegistry.h"

#include <cwchar>
#include <new>

#include "util/strings/BoundedString.h"

namespace {
// Character capacities become byte capacities without wrapping: a capacity
// beyond what a DWORD can count in bytes is held to the most it can.
DWORD CharsToBytes(DWORD chars)
{
    constexpr DWORD kMostBytes = 0xFFFFFFFF;
    if (chars > kMostBytes / sizeof(wchar_t))
        return kMostBytes;
    return chars * static_cast<DWORD>(sizeof(wchar_t));
}
}

CRegistry::~CRegistry()
{
    Close();
}

BOOL CRegistry::Open(HKEY root, const wchar_t* subKey)
{
    if (!root || !subKey)
        return FALSE;
    Close();

    // An explicit read mask: the legacy open asks for full access, which a
    // non-administrative user does not get under HKEY_LOCAL_MACHINE.
    if (RegOpenKeyExW(root, subKey, 0, KEY_READ, m_hKey.put()) != ERROR_SUCCESS) {
        Close();
        return FALSE;
    }
    const size_t length = wcslen(subKey);
    m_pszSubKey.reset(new (std::nothrow) wchar_t[length + 1]);
    if (!m_pszSubKey || FAILED(BoundedCopy(m_pszSubKey.get(), length + 1, subKey))) {
        Close();
        return FALSE;
    }
    m_hRootKey = root;
    return TRUE;
}

void CRegistry::Close()
{
    m_pszSubKey.reset();
    m_hKey.reset();
}

BOOL CRegistry::QueryValueType(const wchar_t* name, DWORD* type) const
{
    DWORD bytes = 0;
    return type && QueryValueTypeAndSize(name, type, &bytes);
}

BOOL CRegistry::QueryValueSize(const wchar_t* name, DWORD* size) const
{
    DWORD type = REG_NONE;
    return size && QueryValueTypeAndSize(name, &type, size);
}

BOOL CRegistry::QueryValueLength(const wchar_t* name, DWORD* length) const
{
    DWORD bytes = 0;
    if (!length || !QueryValueSize(name, &bytes))
        return FALSE;
    *length = bytes / sizeof(wchar_t);
    return TRUE;
}

BOOL CRegistry::QueryValueTypeAndSize(const wchar_t* name, DWORD* type, DWORD* size) const
{
    if (!m_hKey)
        return FALSE;
    DWORD found = REG_NONE;
    DWORD bytes = 0;
    if (RegQueryValueExW(m_hKey.get(), name, nullptr, &found, nullptr, &bytes) != ERROR_SUCCESS)
        return FALSE;
    *type = found;
    *size = bytes;
    return TRUE;
}

BOOL CRegistry::ReadSizedValue(const wchar_t* name, void* buffer, DWORD bytes, DWORD capacityBytes) const
{
    if (bytes > capacityBytes)
        return FALSE;
    // The platform never writes more than `bytes`; a value that grew since it
    // was measured fails with ERROR_MORE_DATA instead.
    DWORD read = bytes;
    return RegQueryValueExW(m_hKey.get(), name, nullptr, nullptr, static_cast<BYTE*>(buffer), &read) ==
           ERROR_SUCCESS;
}

BOOL CRegistry::ReadValue(const wchar_t* name, void* buffer, DWORD capacityBytes) const
{
    DWORD bytes = 0;
    if (!QueryValueSize(name, &bytes))
        return FALSE;
    if (!buffer)
        return TRUE;
    return ReadSizedValue(name, buffer, bytes, capacityBytes);
}

// The typed reads learn the type and the size from one question to the
// registry: each question is a round trip to the registry's server.
BOOL CRegistry::ReadDword(const wchar_t* name, DWORD* value) const
{
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    if (!value || !QueryValueTypeAndSize(name, &type, &bytes) || type != REG_DWORD)
        return FALSE;
    // A REG_DWORD stored with fewer than four bytes still yields a whole number.
    DWORD read = 0;
    if (!ReadSizedValue(name, &read, bytes, sizeof(read)))
        return FALSE;
    *value = read;
    return TRUE;
}

BOOL CRegistry::ReadString(const wchar_t* name, wchar_t* buffer, DWORD capacityChars, DWORD* size) const
{
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    if (!buffer || capacityChars == 0 || !QueryValueTypeAndSize(name, &type, &bytes))
        return FALSE;
    if (type != REG_SZ && type != REG_MULTI_SZ)
        return FALSE;
    if (!ReadSizedValue(name, buffer, bytes, CharsToBytes(capacityChars)))
        return FALSE;
    if (size)
        *size = bytes;
    return TRUE;
}

BOOL CRegistry::ReadExpandableString(const wchar_t* name, wchar_t* buffer, BOOL* expand, DWORD capacityChars,
                                     DWORD* size) const
{
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    if (!buffer || !expand || capacityChars == 0 || !QueryValueTypeAndSize(name, &type, &bytes))
        return FALSE;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return FALSE;
    if (!ReadSizedValue(name, buffer, bytes, CharsToBytes(capacityChars)))
        return FALSE;
    *expand = type == REG_EXPAND_SZ ? TRUE : FALSE;
    if (size)
        *size = bytes;
    return TRUE;
}

BOOL CRegistry::ReadBinary(const wchar_t* name, void* buffer, DWORD capacityBytes) const
{
    if (!buffer || capacityBytes == 0)
        return FALSE;
    return ReadValue(name, buffer, capacityBytes);
}

BOOL CRegistry::EnumFirstValue(wchar_t* name, DWORD capacity)
{
    m_nEnumIndex = 0;
    return EnumValue(name, capacity);
}

BOOL CRegistry::EnumNextValue(wchar_t* name, DWORD capacity)
{
    ++m_nEnumIndex;
    return EnumValue(name, capacity);
}

BOOL CRegistry::EnumValue(wchar_t* name, DWORD capacity) const
{
    if (!name || capacity == 0 || !m_hKey)
        return FALSE;
    DWORD chars = capacity;
    return RegEnumValueW(m_hKey.get(), m_nEnumIndex, name, &chars, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}
