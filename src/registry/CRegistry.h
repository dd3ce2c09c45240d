#pragma once
#include <windows.h>

#include <memory>

#include "util/owners/RegKey.h"

// Read-only access to one registry key at a time. Every operation answers
// non-zero for success and zero for any failure; platform error codes are not
// passed on.
//
// Buffer contract: every read states its buffer's capacity (bytes for
// ReadValue and ReadBinary, characters for the string reads) and refuses a
// value that does not fit, even one that has grown since the caller sized the
// buffer with QueryValueLength or QueryValueSize; a read never runs past the
// buffer. Data is copied exactly as stored: no terminator is added to a string
// stored without one.
class CRegistry {
public:
    CRegistry() = default;
    virtual ~CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    BOOL Open(HKEY root, const wchar_t* subKey);
    void Close();

    // A null or empty value name addresses the key's default value.
    BOOL QueryValueType(const wchar_t* name, DWORD* type) const;
    BOOL QueryValueSize(const wchar_t* name, DWORD* size) const;
    // Size divided by two: UTF-16 code units, terminator included when stored.
    BOOL QueryValueLength(const wchar_t* name, DWORD* length) const;

    // Any type. A null buffer only checks that the size can be queried.
    BOOL ReadValue(const wchar_t* name, void* buffer, DWORD capacityBytes) const;
    BOOL ReadDword(const wchar_t* name, DWORD* value) const;
    // REG_SZ or REG_MULTI_SZ. *size, when asked for, gets the bytes read.
    BOOL ReadString(const wchar_t* name, wchar_t* buffer, DWORD capacityChars, DWORD* size = nullptr) const;
    // REG_SZ (expand 0) or REG_EXPAND_SZ (expand 1); references are left
    // unexpanded. *size, when asked for, gets the bytes read.
    BOOL ReadExpandableString(const wchar_t* name, wchar_t* buffer, BOOL* expand, DWORD capacityChars,
                              DWORD* size = nullptr) const;
    BOOL ReadBinary(const wchar_t* name, void* buffer, DWORD capacityBytes) const;

    // Capacity in characters, terminator included.
    BOOL EnumFirstValue(wchar_t* name, DWORD capacity);
    BOOL EnumNextValue(wchar_t* name, DWORD capacity);

    bool IsOpen() const { return static_cast<bool>(m_hKey); }
    const wchar_t* SubKey() const { return m_pszSubKey.get(); }
    HKEY RootKey() const { return m_hRootKey; }

private:
    BOOL EnumValue(wchar_t* name, DWORD capacity) const;
    BOOL QueryValueTypeAndSize(const wchar_t* name, DWORD* type, DWORD* size) const;
    // Reads a value of `bytes` bytes, measured just before; refuses one larger
    // than the buffer.
    BOOL ReadSizedValue(const wchar_t* name, void* buffer, DWORD bytes, DWORD capacityBytes) const;

    RegKey m_hKey;
    HKEY m_hRootKey = nullptr;
    std::unique_ptr<wchar_t[]> m_pszSubKey;
    DWORD m_nEnumIndex = 0;
};
