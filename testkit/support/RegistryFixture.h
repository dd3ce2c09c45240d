#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/Narrow.h"
#include "util/owners/RegKey.h"

// Writes one value under a root key (a scratch tree in these tests).
inline void SetRegistryValue(HKEY root, const wchar_t* key, const wchar_t* name, DWORD type, const void* data,
                             DWORD bytes)
{
    RegKey k;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, k.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(k.get(), name, 0, type, static_cast<const BYTE*>(data), bytes));
}

// A string with its terminator; REG_SZ unless told.
inline void SetRegistryString(HKEY root, const wchar_t* key, const wchar_t* name, const wchar_t* text,
                              DWORD type = REG_SZ)
{
    SetRegistryValue(root, key, name, type, text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

inline void SetMachineValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD bytes)
{
    SetRegistryValue(HKEY_LOCAL_MACHINE, key, name, type, data, bytes);
}

inline void SetMachineString(const wchar_t* key, const wchar_t* name, const wchar_t* text)
{
    SetMachineValue(key, name, REG_SZ, text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

// A multi-string from entries separated by '|'.
inline void SetMachineMultiString(const wchar_t* key, const wchar_t* name, const wchar_t* entries)
{
    std::wstring data(entries);
    for (auto& c : data)
        if (c == L'|')
            c = L'\0';
    data.append(2, L'\0');
    SetMachineValue(key, name, REG_MULTI_SZ, data.data(), static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

inline void SetMachineDword(const wchar_t* key, const wchar_t* name, DWORD value)
{
    SetMachineValue(key, name, REG_DWORD, &value, sizeof(value));
}


// The per-user settings folder (CSIDL_APPDATA) moved to folder: both of the
// shell's folder registrations under HKEY_CURRENT_USER name it, as Windows keeps
// them.
inline void SetAppDataFolder(const std::wstring& folder)
{
    const std::wstring explorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    for (const wchar_t* key : {L"User Shell Folders", L"Shell Folders"})
        SetRegistryString(HKEY_CURRENT_USER, (explorer + key).c_str(), L"AppData", folder.c_str());
}
