#pragma once
#include <windows.h>
#include <objbase.h>

#include <string>

#include "util/owners/RegKey.h"

// Reading the class registrations under HKEY_CLASSES_ROOT the way the stand-ins
// and the dump tool both need it.
namespace ClassesRegistry {

// The IFilter add-in category under a persistent handler's
// "PersistentAddinsRegistered" key.
constexpr wchar_t kIFilterAddin[] = L"{89BCB740-6119-101A-BCB7-00DD010655AF}";

inline std::wstring GuidText(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// The default value of HKEY_CLASSES_ROOT\path (a string, expanded when it is
// REG_EXPAND_SZ and the expansion fits); empty when absent, of another type or
// longer than 1023 characters.
inline std::wstring ReadDefault(const std::wstring& path)
{
    RegKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return {};
    wchar_t value[1024] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    if (type == REG_EXPAND_SZ) {
        wchar_t expanded[1024] = {};
        const DWORD length = ExpandEnvironmentStringsW(value, expanded, 1024);
        if (length != 0 && length <= 1024)
            return expanded;
    }
    return value;
}

}  // namespace ClassesRegistry
